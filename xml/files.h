// Saving a document to a file (files.cpp, over the shared safe writer).
#ifndef QVXML_FILES_H
#define QVXML_FILES_H

#include <cstddef>

namespace qvxml::files {

// Writes `text` to a new file beside `path`, readable by the owner only, and
// renames it over `path` once it is complete: a failure leaves the previous
// file as it was and no partial one. A symbolic link at `path` is refused
// (errno ELOOP), never followed. 0, or the error code (6 the file cannot be
// created or the target is refused, 7 writing or replacing failed, 9 closing
// failed) with errno telling why.
int replace_file(const char *path, const char *text, size_t length);

} // namespace qvxml::files

#endif
