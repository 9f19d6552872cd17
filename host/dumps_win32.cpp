#include "hostsecrets.h"

namespace kelvo::host {

// No core dumps to prevent: Windows Error Reporting writes a dump only where
// an administrator configured local dumps, which a user's process cannot
// switch off for itself, and other processes of the same user may read this
// one's memory whatever it does.
void KeepSecretsOutOfDumps() {}

} // namespace kelvo::host
