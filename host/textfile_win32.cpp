// Reading a small text file the user names, on Windows.
#include "hostplatform.h"

#include "owneronly_win32.h"

#include <windows.h>

#include <system_error>

namespace kelvo::host::platform {

ReadResult ReadRegularFile(const std::string &path, std::size_t limit, std::string &bytes,
                           std::string *error) {
    auto refuse = [&](const std::string &why) {
        if (error)
            *error = path + ": " + why;
        bytes.clear();
        return ReadResult::Refused;
    };
    auto systemText = [] { return std::generic_category().message(qv::errno_of(GetLastError())); };
    const std::wstring name = qv::wide(path);
    if (name.empty())
        return refuse("not a valid file name");
    // A named pipe or a device opens like a file, and a folder does with
    // backup semantics; the type is checked before anything is read, so none
    // is waited on and a folder is named as such.
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return ReadResult::Missing;
        return refuse(systemText());
    }
    std::string why;
    LARGE_INTEGER size{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        why = "not a regular file; not read";
    else if (!GetFileSizeEx(file, &size))
        why = systemText();
    else if (static_cast<unsigned long long>(size.QuadPart) > limit)
        why = "larger than " + std::to_string(limit) + " bytes; not read";
    char chunk[4096];
    bytes.clear();
    while (why.empty()) {
        DWORD n = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr))
            why = systemText();
        else if (n == 0)
            break;
        else if (bytes.size() + n > limit)
            why = "larger than " + std::to_string(limit) + " bytes; not read"; // it grew
        else
            bytes.append(chunk, n);
    }
    CloseHandle(file);
    if (!why.empty())
        return refuse(why);
    return ReadResult::Ok;
}

} // namespace kelvo::host::platform
