// Saving a document to a file through the shared safe writer.
#include "files.h"

#include "qvfile.h"

#include <cerrno>

namespace qvxml::files {

int replace_file(const char *path, const char *text, size_t length) {
    const qv::write_result r = qv::write_file(path, text, length, qv::write_mode::replace, 0600);
    errno = r.error;
    switch (r.step) {
    case qv::write_step::none:
        return 0;
    case qv::write_step::create:
        return 6;
    case qv::write_step::close:
        return 9;
    default:
        return 7;
    }
}

} // namespace qvxml::files
