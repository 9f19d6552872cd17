#include "hostplatform.h"
#include "hostsecrets.h"

#include "owneronly_win32.h"

#include <windows.h>

#include <system_error>

namespace kelvo::host {

namespace {

bool Fail(const std::string &what, const std::string &path, std::string *error) {
    *error =
        what + " " + path + ": " + std::generic_category().message(qv::errno_of(GetLastError()));
    return false;
}

// Gives an open file or folder the access list that names this user alone;
// fails (access denied) when it is another user's.
bool Tighten(HANDLE handle, const std::string &path, std::string *error) {
    qv::owner_only access;
    if (access.descriptor() == nullptr ||
        !SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, access.descriptor()))
        return Fail("cannot make private", path, error);
    return true;
}

bool OpenAndTighten(const std::string &path, DWORD disposition, DWORD flags, bool wantFolder,
                    std::string *error) {
    const std::wstring name = qv::wide(path);
    qv::owner_only access;
    if (name.empty() || access.attributes() == nullptr) {
        *error = "cannot make private " + path;
        return false;
    }
    // Never through a link: the reparse point itself is opened and refused.
    const HANDLE handle =
        CreateFileW(name.c_str(), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, access.attributes(),
                    disposition, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail("cannot open", path, error);
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = GetFileInformationByHandle(handle, &info) != 0;
    if (!ok) {
        Fail("cannot look at", path, error);
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        *error = path + " is a link; it is not followed";
        ok = false;
    } else if (((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != wantFolder) {
        *error = path + (wantFolder ? " is not a folder" : " is not a regular file");
        ok = false;
    } else {
        ok = Tighten(handle, path, error);
    }
    CloseHandle(handle);
    return ok;
}

} // namespace

void platform::ZeroSecretBytes(void *p, std::size_t n) {
    SecureZeroMemory(p, n);
}

bool MakePrivateFolder(const std::string &path, std::string *error) {
    const std::wstring name = qv::wide(path);
    qv::owner_only access;
    if (!name.empty() && !CreateDirectoryW(name.c_str(), access.attributes()) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return Fail("cannot create", path, error);
    return OpenAndTighten(path, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, true, error);
}

bool MakePrivateFile(const std::string &path, std::string *error) {
    return OpenAndTighten(path, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, false, error);
}

} // namespace kelvo::host
