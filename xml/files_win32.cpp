// Saving a document to a file on Windows.
#include "files.h"

#include <windows.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qvx::files {

namespace {

std::wstring wide(const std::string &utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                      static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        out.data(), n);
    return out;
}

int errno_of(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    default:
        return EIO;
    }
}

// A security descriptor whose access list names the calling user alone, not
// inherited from the folder. Named by the user's SID rather than "owner
// rights", which not every implementation of the API knows.
class OwnerOnly {
public:
    OwnerOnly() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return;
        }
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        const bool have =
            size > 0 && GetTokenInformation(token, TokenUser, user_.data(), size, &size);
        CloseHandle(token);
        if (!have) {
            return;
        }
        PSID sid = reinterpret_cast<TOKEN_USER *>(user_.data())->User.Sid;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto *acl = reinterpret_cast<PACL>(acl_.data());
        ok_ = InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
              AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
              InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
              SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        attributes_ = {sizeof(SECURITY_ATTRIBUTES), &descriptor_, FALSE};
    }
    // nullptr when the descriptor could not be made.
    SECURITY_ATTRIBUTES *attributes() { return ok_ ? &attributes_ : nullptr; }

private:
    std::vector<unsigned char> user_;
    std::vector<unsigned char> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ok_ = false;
};

} // namespace

int replace_file(const char *path, const char *text, size_t length) {
    const std::wstring target = wide(path);
    if (target.empty()) {
        errno = EINVAL;
        return 6;
    }
    // Devices' documents hold passwords: the file is the owner's alone.
    OwnerOnly owner_only;
    if (owner_only.attributes() == nullptr) {
        errno = EACCES;
        return 6;
    }
    // CREATE_NEW never opens what is already there, a planted link included.
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(GetTickCount64() + attempt) + L".tmp";
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, owner_only.attributes(), CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return 6;
    }
    auto fail = [&](int code, bool open) {
        const int saved = errno_of(GetLastError());
        if (open) {
            CloseHandle(file);
        }
        DeleteFileW(temporary.c_str());
        errno = saved;
        return code;
    };
    size_t written = 0;
    while (written < length) {
        const DWORD piece =
            length - written > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length - written);
        DWORD n = 0;
        if (!WriteFile(file, text + written, piece, &n, nullptr) || n == 0) {
            return fail(7, true);
        }
        written += n;
    }
    if (!FlushFileBuffers(file)) {
        return fail(7, true);
    }
    if (!CloseHandle(file)) {
        return fail(9, false);
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail(7, false);
    }
    return 0;
}

} // namespace qvx::files
