// Saving a document to a file (files.cpp, over the shared safe writer).
#ifndef QVXML_FILES_H
#define QVXML_FILES_H

#include "error_codes.h"

#include <cstddef>

namespace qvxml::files {

// Writes `text` to a new file beside `path`, readable by the owner only, and
// renames it over `path` once it is complete: a failure leaves the previous
// file as it was and no partial one. A symbolic link at `path` is refused
// (errno ELOOP), never followed. none, or the error (file_open: the file
// cannot be created or the target is refused, file_write: writing or
// replacing failed, file_close: closing failed) with errno telling why.
error_code replace_file(const char *path, const char *text, size_t length);

} // namespace qvxml::files

#endif
