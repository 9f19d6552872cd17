// The program's presence marker for installers: the stand-in for a named
// mutex "udps_install_uninstall_mutex" that every program of the user can see.
// An installer learns that the program runs when it cannot take the lock
// exclusively.
#ifndef KELVO_UI_APPMUTEX_H
#define KELVO_UI_APPMUTEX_H

#include <string>

namespace kelvo::ui {

inline constexpr const char *kInstallMutexName = "udps_install_uninstall_mutex";

// Creates (or opens) the marker and holds it for the life of the process.
// Failure is ignored, as is a second call. User-interface thread.
void CreateInstallMutex();

// Where the marker lives on this system.
std::string InstallMutexPath();

// True when some program holds the marker (used by installers and tests).
bool InstallMutexHeld();

} // namespace kelvo::ui

#endif
