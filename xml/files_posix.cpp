// Saving a document to a file on POSIX systems.
#include "files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qvx::files {

int replace_file(const char *path, const char *text, size_t length) {
    std::string temporary = std::string(path) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // created 0600
    if (fd < 0) {
        return 6;
    }
    auto fail = [&](int code, bool open) {
        const int saved = errno;
        if (open) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        errno = saved;
        return code;
    };
    size_t written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd, text + written, length - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail(7, true);
        }
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        return fail(7, true);
    }
    if (::close(fd) != 0) {
        return fail(9, false);
    }
    if (std::rename(temporary.c_str(), path) != 0) {
        return fail(7, false);
    }
    return 0;
}

} // namespace qvx::files
