// Writing a whole file safely, shared by the libraries, the command line and
// the window: the data goes to a temporary file created beside the target
// (never through a link, never over an existing file), is flushed to disk and
// then renamed into place inside the same folder. A failure at any step
// leaves the earlier file as it was and no temporary file behind.
//
// Threading: any thread; concurrent writers to one folder are safe.
#ifndef QVFILE_H
#define QVFILE_H

#ifdef __cplusplus
#include <cstddef>
#include <string>

namespace qv {

enum class write_mode {
    replace,    // an existing regular file is replaced as a whole
    create_new, // fails with EEXIST when anything exists under the name
};

enum class write_step {
    none,   // written
    create, // the target was refused or the temporary file not created
    write,  // writing, flushing or renaming failed
    close,  // closing failed
};

struct write_result {
    write_step step = write_step::none;
    int error = 0; // errno of the failed step; ELOOP for a link as target
    bool ok() const { return step == write_step::none; }
};

// Writes `size` bytes to `path` with permissions `mode_bits` (before the
// umask); a replaced file gets them too. Replacing, a symbolic link as the
// final name is refused (ELOOP), as is anything but a regular file (EISDIR,
// EINVAL); a link placed there meanwhile is replaced, never followed.
write_result write_file(const char *path, const void *data, std::size_t size, write_mode mode,
                        unsigned mode_bits);

// "cannot write PATH: why", and that the earlier file is kept when there is one.
std::string write_error_text(const std::string &path, const write_result &result);

} // namespace qv
#endif

#endif
