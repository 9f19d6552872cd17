// POSIX stand-in for the named mutex: a file whose shared flock is held while
// the program runs. Open permissions (0666) play the part of the open security
// descriptor; O_CLOEXEC keeps the handle from being inherited.
#include "appmutex.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo::ui {

namespace {
int heldFd = -1;
} // namespace

std::string InstallMutexPath() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = (runtime && *runtime) ? runtime : "/tmp";
    return dir + "/" + kInstallMutexName;
}

void CreateInstallMutex() {
    if (heldFd >= 0)
        return;
    const std::string path = InstallMutexPath();
    // The folder may be /tmp, where another user can plant a link at the
    // name: it must neither create nor open (and open up) the link's target.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    // Not owned: several instances may hold it together; only an exclusive
    // request (the installer's) is refused while any of them runs.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid())
        ::fchmod(fd, 0666);
    heldFd = fd;
}

bool InstallMutexHeld() {
    const int fd = ::open(InstallMutexPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Our own shared lock on another descriptor also blocks an exclusive one.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!held)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return held;
}

} // namespace kelvo::ui
