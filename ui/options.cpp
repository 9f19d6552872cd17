#include "options.h"

#include "detaillogic.h"

namespace kelvo::ui {

bool ParseCommandLine(const QStringList &arguments, MainOptions &options, QString *error) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        QString value;
        if (arg == "--relay" && i + 1 < arguments.size()) {
            value = arguments[++i];
        } else if (arg.startsWith("--relay=")) {
            value = arg.mid(8);
        } else {
            if (error)
                *error = QString("unknown option: %1 (usage: kelvo [--relay ADDR:PORT])").arg(arg);
            return false;
        }
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
    }
    return true;
}

} // namespace kelvo::ui
