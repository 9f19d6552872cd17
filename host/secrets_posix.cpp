#include "hostplatform.h"
#include "hostsecrets.h"

#include "uniquefd_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo::host {

namespace {

bool Fail(const std::string &what, const std::string &path, std::string *error) {
    *error = what + " " + path + ": " + std::strerror(errno);
    return false;
}

// Takes group and other access away from an open file we own.
bool Tighten(int fd, mode_t keep, const std::string &path, std::string *error) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return Fail("cannot look at", path, error);
    if (st.st_uid != geteuid()) {
        *error = path + " belongs to another user";
        return false;
    }
    if ((st.st_mode & 077) != 0 && fchmod(fd, st.st_mode & keep) != 0)
        return Fail("cannot make private", path, error);
    return true;
}

} // namespace

void platform::ZeroSecretBytes(void *p, std::size_t n) {
    explicit_bzero(p, n);
}

bool MakePrivateFolder(const std::string &path, std::string *error) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return Fail("cannot create", path, error);
    const platform::UniqueFd fd(
        open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.fd() < 0)
        return Fail("cannot open the folder", path, error);
    return Tighten(fd.fd(), 0700, path, error);
}

bool MakePrivateFile(const std::string &path, std::string *error) {
    const platform::UniqueFd fd(
        open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (fd.fd() < 0)
        return Fail("cannot open", path, error);
    struct stat st {};
    if (fstat(fd.fd(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *error = path + " is not a regular file";
        return false;
    }
    return Tighten(fd.fd(), 0600, path, error);
}

} // namespace kelvo::host
