// Saving a document to a file through the shared safe writer.
#include "files.h"

#include "qvfile.h"

#include <cerrno>

namespace qvxml::files {

error_code replace_file(const char *path, const char *text, size_t length) {
    const qv::write_result r = qv::write_file(path, text, length, qv::write_mode::replace, 0600);
    errno = r.error;
    switch (r.step) {
    case qv::write_step::none:
        return error_code::none;
    case qv::write_step::create:
        return error_code::file_open;
    case qv::write_step::close:
        return error_code::file_close;
    default:
        return error_code::file_write;
    }
}

} // namespace qvxml::files
