// Writing a whole file safely on Windows.
#include "qvfile.h"

#include "owneronly_win32.h"

#include <windows.h>

#include <cerrno>
#include <random>

namespace qv {

namespace {

write_result failed(write_step step, int error) {
    write_result r;
    r.step = step;
    r.error = error;
    return r;
}

} // namespace

write_result write_file(const char *path, const void *data, std::size_t size, write_mode mode,
                        unsigned mode_bits) {
    if (path == nullptr || *path == '\0') {
        return failed(write_step::create, ENOENT);
    }
    const std::wstring target = wide(path);
    if (target.empty()) {
        return failed(write_step::create, EINVAL);
    }
    const auto slash = target.find_last_of(L"/\\");
    const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == L"." || name == L"..") {
        return failed(write_step::create, EISDIR);
    }
    // The attributes of the name itself: a reparse point (symbolic link,
    // junction) reports its own, never its target's.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (mode == write_mode::create_new) {
            return failed(write_step::create, EEXIST);
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return failed(write_step::create, ELOOP);
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            return failed(write_step::write, EISDIR);
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return failed(write_step::create, errno_of(GetLastError()));
    }
    // Without group or other bits the file is the user's alone, as on POSIX;
    // otherwise it takes the folder's inherited access.
    owner_only private_access;
    SECURITY_ATTRIBUTES *security = nullptr;
    if ((mode_bits & 077) == 0) {
        security = private_access.attributes();
        if (security == nullptr) {
            return failed(write_step::create, EACCES);
        }
    }
    // CREATE_NEW never opens what is already there, a planted link included.
    const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder + L"." + name.substr(0, 64) + L"." +
                    std::to_wstring(random() % 1000000000u) + L".tmp";
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return failed(write_step::create, errno_of(GetLastError()));
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return failed(write_step::create, EEXIST);
    }
    auto abandon = [&](write_step step, DWORD error, bool open) {
        if (open) {
            CloseHandle(file);
        }
        DeleteFileW(temporary.c_str());
        return failed(step, errno_of(error));
    };
    const auto *bytes = static_cast<const char *>(data);
    for (std::size_t written = 0; written < size;) {
        const DWORD piece =
            size - written > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size - written);
        DWORD n = 0;
        if (!WriteFile(file, bytes + written, piece, &n, nullptr)) {
            return abandon(write_step::write, GetLastError(), true);
        }
        if (n == 0) {
            return abandon(write_step::write, ERROR_DISK_FULL, true);
        }
        written += n;
    }
    if (!FlushFileBuffers(file)) {
        return abandon(write_step::write, GetLastError(), true);
    }
    if (!CloseHandle(file)) {
        return abandon(write_step::close, GetLastError(), false);
    }
    // Without REPLACE_EXISTING the move fails on any name already there.
    const DWORD flags =
        MOVEFILE_WRITE_THROUGH | (mode == write_mode::replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(temporary.c_str(), target.c_str(), flags)) {
        return abandon(write_step::write, GetLastError(), false);
    }
    return {};
}

} // namespace qv
