// The program's per-user settings: the terminal's macros, the main window's
// place and size and the file choosers' last folder, all in one place.
//
// Threading: any thread (QSettings is reentrant); one object per use.
#pragma once

#include <QSettings>
#include <QString>

namespace kelvo::terminal {

inline QSettings UserSettings() {
    return QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo"));
}

} // namespace kelvo::terminal
