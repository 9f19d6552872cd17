#include "hostsecrets.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace kelvo::host {

void KeepSecretsOutOfDumps() {
    // Both: the limit alone would leave the process readable through
    // ptrace and /proc by the same user, and a core pattern that pipes to
    // a helper ignores the limit.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

} // namespace kelvo::host
