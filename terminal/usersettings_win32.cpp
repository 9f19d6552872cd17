#include "usersettings.h"

namespace kelvo::terminal {

QSettings UserSettings() {
    // The native format is the registry under HKEY_CURRENT_USER, a key that
    // other users' processes cannot open: nothing to make private.
    return QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo"));
}

} // namespace kelvo::terminal
