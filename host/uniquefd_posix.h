// A descriptor owned by one object and closed with it, for the POSIX files of
// the host helpers, so that every early return closes what was opened.
#ifndef KELVO_UNIQUEFD_POSIX_H
#define KELVO_UNIQUEFD_POSIX_H

#include "qvnoncopyable.h"
#include <unistd.h>

namespace kelvo::host::platform {

class UniqueFd : qv::noncopyable {
public:
    explicit UniqueFd(int fd) : descriptor(fd) {}
    ~UniqueFd() {
        if (descriptor >= 0)
            close(descriptor);
    }
    int fd() const { return descriptor; }

private:
    int descriptor;
};

} // namespace kelvo::host::platform

#endif
