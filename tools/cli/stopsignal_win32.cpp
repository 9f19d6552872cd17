// Stop requests on Windows: the console's control handler sets an event the
// command waits on.
#include "stopsignal.h"

#include <windows.h>

namespace kelvo::cli {

namespace {

HANDLE stopEvent = nullptr;

BOOL WINAPI OnControl(DWORD) {
    SetEvent(stopEvent);
    return TRUE;
}

} // namespace

bool StopSignal::Start(std::string *error) {
    if (started)
        return true;
    if (!stopEvent)
        stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopEvent || !SetConsoleCtrlHandler(OnControl, TRUE)) {
        *error = "cannot catch Ctrl+C (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    started = true;
    return true;
}

StopSignal::~StopSignal() {
    if (started)
        SetConsoleCtrlHandler(OnControl, FALSE);
}

bool StopSignal::Wait(int ms) {
    if (!started)
        return false;
    return WaitForSingleObject(stopEvent, ms < 0 ? 0 : static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
}

} // namespace kelvo::cli
