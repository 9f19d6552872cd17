#include "options.h"

#include "detaillogic.h"
#include "kelvo_version.h"

#include <QCommandLineParser>
#include <QRegularExpression>

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
    const QCommandLineOption language(
        "language", "The window's language: de, es, fr, it, zh_CN or en (default: the system's).",
        "CODE");
    parser.addOptions({help, version, relay, language});
    const auto fail = [&](const QString &text) {
        if (error)
            *error =
                text + " (usage: kelvo [--relay ADDR:PORT] [--language CODE] [--help] [--version])";
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
    if (parser.isSet(language)) {
        // A code, not a path: the translation is looked up by it.
        static const QRegularExpression code("^[A-Za-z]{2,3}([_-][A-Za-z0-9]{2,4})?$");
        if (!code.match(parser.value(language)).hasMatch()) {
            if (error)
                *error = QString("bad language: %1 (expected a code such as de or zh_CN)")
                             .arg(parser.value(language));
            return false;
        }
        options.language = parser.value(language);
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
