#include "options.h"

#include "detaillogic.h"
#include "kelvo_version.h"

#include <QCommandLineParser>

namespace kelvo::ui {

bool ParseCommandLine(const QStringList &arguments, MainOptions &options, QString *error,
                      QString *exitText) {
    if (exitText)
        exitText->clear();
    QCommandLineParser parser;
    parser.setApplicationDescription("Finds Marvane devices on the local network and configures "
                                     "them, through the local relay (kelvo-relay).");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    const QCommandLineOption relay(
        "relay", "The relay to hand searches and setups to (default 127.0.0.1:9999).", "ADDR:PORT");
    parser.addOptions({help, version, relay});
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text + " (usage: kelvo [--relay ADDR:PORT] [--help] [--version])";
        return false;
    };
    if (!parser.parse(QStringList{"kelvo"} + arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail("unknown argument: " + parser.positionalArguments().first());
    if (parser.isSet(help) || parser.isSet(version)) {
        if (exitText)
            // Without an application object Qt cannot name the program itself.
            *exitText = parser.isSet(help)
                            ? "Usage: kelvo [options]\n" + parser.helpText().section('\n', 1)
                            : QStringLiteral("kelvo " KELVO_VERSION "\n");
        return true;
    }
    if (!parser.isSet(relay))
        return true;
    const QString value = parser.value(relay);
    const qsizetype colon = value.lastIndexOf(':');
    bool ok = false;
    const int port = colon > 0 ? value.mid(colon + 1).toInt(&ok) : 0;
    const QString address = value.left(colon);
    if (!ok || port < 1 || port > 65535 || !IsDottedIPv4(address)) {
        if (error)
            *error = QString("bad relay address: %1 (expected ADDR:PORT, e.g. 127.0.0.1:9999)")
                         .arg(value);
        return false;
    }
    options.relayAddress = address;
    options.relayPort = port;
    return true;
}

} // namespace kelvo::ui
