// A descriptor owned by one object and closed with it, for the POSIX files of
// the host helpers, so that every early return closes what was opened.
#ifndef KELVO_UNIQUEFD_POSIX_H
#define KELVO_UNIQUEFD_POSIX_H

#include <unistd.h>

namespace kelvo::host::platform {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0)
            close(fd_);
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace kelvo::host::platform

#endif
