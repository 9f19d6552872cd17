// git's files take the access of the owner-only folder they are made in
// (its inherited ACL); there is no umask to set.
#include "gitstore.h"

#include <QProcess>

namespace kelvo::cli {

void MakeChildPrivate(QProcess &) {}

} // namespace kelvo::cli
