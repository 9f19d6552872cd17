// The named mutex installers look for, with an open security descriptor so
// that every user's installer can open it (and see that the program runs).
#include "appmutex.h"

#include <windows.h>

namespace kelvo::ui {

namespace {
HANDLE heldMutex = nullptr;

std::wstring wideName() {
    const std::string name = kInstallMutexName;
    return std::wstring(name.begin(), name.end());
}
} // namespace

std::string InstallMutexPath() {
    return kInstallMutexName;
}

void CreateInstallMutex() {
    if (heldMutex != nullptr)
        return;
    // A NULL access list: everyone may open it, whoever created it first.
    SECURITY_DESCRIPTOR open{};
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), &open, FALSE};
    // Not owned: several instances hold it together; it is gone when the last ends.
    heldMutex = CreateMutexW(&attributes, FALSE, wideName().c_str());
}

bool InstallMutexHeld() {
    HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, wideName().c_str());
    if (h == nullptr)
        return false;
    CloseHandle(h);
    return true;
}

} // namespace kelvo::ui
