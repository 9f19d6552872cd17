// git's own files (COMMIT_EDITMSG and the like) owner-only whatever the
// umask of the caller.
#include "gitstore.h"

#include <QProcess>

#include <sys/stat.h>

namespace kelvo::cli {

void MakeChildPrivate(QProcess &process) {
    process.setChildProcessModifier([] { ::umask(077); });
}

} // namespace kelvo::cli
