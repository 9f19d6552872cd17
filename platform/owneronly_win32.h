// A security descriptor whose access list names the calling user alone, not
// inherited from the folder: the Windows form of a 0600 file or 0700 folder.
// Named by the user's SID rather than "owner rights", which not every
// implementation of the API knows.
#ifndef QV_OWNERONLY_WIN32_H
#define QV_OWNERONLY_WIN32_H

#include <windows.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qv {

class owner_only {
public:
    owner_only() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return;
        }
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        token_user.resize(size);
        const bool have =
            size > 0 && GetTokenInformation(token, TokenUser, token_user.data(), size, &size);
        CloseHandle(token);
        if (!have) {
            return;
        }
        PSID sid = reinterpret_cast<TOKEN_USER *>(token_user.data())->User.Sid;
        acl_bytes.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto *acl = reinterpret_cast<PACL>(acl_bytes.data());
        built = InitializeAcl(acl, static_cast<DWORD>(acl_bytes.size()), ACL_REVISION) &&
                AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
                InitializeSecurityDescriptor(&security_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&security_descriptor, TRUE, acl, FALSE) &&
                SetSecurityDescriptorControl(&security_descriptor, SE_DACL_PROTECTED,
                                             SE_DACL_PROTECTED);
        security_attributes = {sizeof(SECURITY_ATTRIBUTES), &security_descriptor, FALSE};
    }
    owner_only(const owner_only &) = delete;
    owner_only &operator=(const owner_only &) = delete;

    // nullptr when the descriptor could not be made.
    SECURITY_ATTRIBUTES *attributes() { return built ? &security_attributes : nullptr; }
    SECURITY_DESCRIPTOR *descriptor() { return built ? &security_descriptor : nullptr; }

private:
    std::vector<unsigned char> token_user;
    std::vector<unsigned char> acl_bytes;
    SECURITY_DESCRIPTOR security_descriptor{};
    SECURITY_ATTRIBUTES security_attributes{};
    bool built = false;
};

// UTF-8 to the wide form the Win32 calls take; empty for invalid UTF-8.
inline std::wstring wide(const std::string &utf8) {
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

// The errno closest to a Win32 error, for callers that report errno texts.
inline int errno_of(DWORD error) {
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

} // namespace qv

#endif
