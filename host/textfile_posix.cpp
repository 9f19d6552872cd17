// Reading a small text file the user names, on POSIX systems.
#include "hostplatform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvo::host::platform {

ReadResult ReadRegularFile(const std::string &path, std::size_t limit, std::string &bytes,
                           std::string *error) {
    auto refuse = [&](const std::string &why) {
        if (error)
            *error = path + ": " + why;
        return ReadResult::Refused;
    };
    // Non-blocking, so opening a FIFO with no writer does not wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : refuse(std::strerror(errno));
    struct stat st {};
    std::string why;
    if (::fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file; not read";
    else if (static_cast<std::uintmax_t>(st.st_size) > limit)
        why = "larger than " + std::to_string(limit) + " bytes; not read";
    char chunk[4096];
    bytes.clear();
    while (why.empty()) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = std::strerror(errno);
        else if (n == 0)
            break;
        else if (bytes.size() + static_cast<std::size_t>(n) > limit)
            why = "larger than " + std::to_string(limit) + " bytes; not read"; // it grew
        else
            bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!why.empty()) {
        bytes.clear();
        return refuse(why);
    }
    return ReadResult::Ok;
}

} // namespace kelvo::host::platform
