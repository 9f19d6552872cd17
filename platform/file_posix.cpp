// Writing a whole file safely on POSIX systems.
#include "qvfile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace qv {

namespace {

// Closes a descriptor on every path out, keeping errno of the real failure.
struct fd_guard {
    int fd = -1;
    ~fd_guard() {
        if (fd >= 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
        }
    }
};

write_result failed(write_step step, int error) {
    write_result r;
    r.step = step;
    r.error = error;
    return r;
}

// Rename that never replaces: the kernel's no-replace rename where the file
// system has it, else a hard link (which fails on an existing name too).
int rename_new(int dir, const char *from, const char *to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return -1;
    }
#endif
    if (::linkat(dir, from, dir, to, 0) != 0) {
        return -1;
    }
    ::unlinkat(dir, from, 0);
    return 0;
}

} // namespace

write_result write_file(const char *path, const void *data, std::size_t size, write_mode mode,
                        unsigned mode_bits) {
    if (path == nullptr || *path == '\0') {
        return failed(write_step::create, ENOENT);
    }
    const std::string full(path);
    const auto slash = full.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : full.substr(0, slash));
    const std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return failed(write_step::create, EISDIR);
    }
    // Links in the folder's path are the user's choice; everything after this
    // open happens relative to the folder itself, so the name cannot be
    // redirected elsewhere meanwhile.
    fd_guard dir;
    dir.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd < 0) {
        return failed(write_step::create, errno);
    }
    struct stat st {};
    if (::fstatat(dir.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        // A new file takes a free name only; a link there is not free either.
        if (mode == write_mode::create_new) {
            return failed(write_step::create, EEXIST);
        }
        if (S_ISLNK(st.st_mode)) {
            return failed(write_step::create, ELOOP);
        }
        // Reported as the replacing step that would fail, as callers know it.
        if (!S_ISREG(st.st_mode)) {
            return failed(write_step::write, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        }
    } else if (errno != ENOENT) {
        return failed(write_step::create, errno);
    }
    // A hidden name, short enough for any file system's name limit.
    std::string temporary;
    fd_guard file;
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16 && file.fd < 0; ++attempt) {
        temporary =
            "." + name.substr(0, 64) + "." + std::to_string(random() % 1000000000u) + ".tmp";
        file.fd = ::openat(dir.fd, temporary.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           static_cast<mode_t>(mode_bits & 0777));
        if (file.fd < 0 && errno != EEXIST) {
            return failed(write_step::create, errno);
        }
    }
    if (file.fd < 0) {
        return failed(write_step::create, EEXIST);
    }
    auto abandon = [&](write_step step, int error) {
        ::unlinkat(dir.fd, temporary.c_str(), 0);
        return failed(step, error);
    };
    const auto *bytes = static_cast<const char *>(data);
    for (std::size_t written = 0; written < size;) {
        const ssize_t n = ::write(file.fd, bytes + written, size - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return abandon(write_step::write, n < 0 ? errno : ENOSPC);
        }
        written += static_cast<std::size_t>(n);
    }
    // A delayed-allocation file system reports a full disk only here.
    if (::fsync(file.fd) != 0) {
        return abandon(write_step::write, errno);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        return abandon(write_step::close, errno);
    }
    const int moved = mode == write_mode::create_new
                          ? rename_new(dir.fd, temporary.c_str(), name.c_str())
                          : ::renameat(dir.fd, temporary.c_str(), dir.fd, name.c_str());
    if (moved != 0) {
        return abandon(write_step::write, errno);
    }
    ::fsync(dir.fd); // durability of the rename only; the data is safe already
    return {};
}

} // namespace qv
