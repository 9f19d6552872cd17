// The program's per-user settings: the terminal's macros, the main window's
// place and size and the file choosers' last folder, all in one place.
// Installers keep device passwords in macros, so the file and its folder are
// readable by their owner only.
//
// Threading: any thread (QSettings is reentrant); one object per use.
#pragma once

#include <QSettings>
#include <QString>

namespace kelvo::terminal {

// Makes the settings file and its folder owner-only (creating them so) before
// anything is written, then opens them.
QSettings UserSettings();

} // namespace kelvo::terminal
