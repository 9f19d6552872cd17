#include "hostplatform.h"

#include <unistd.h>

#include <vector>

namespace kelvo::host::platform {

std::string ProgramPath() {
    // readlink does not say whether it truncated, so grow until it fits.
    for (std::size_t size = 256; size <= 65536; size *= 4) {
        std::vector<char> buf(size);
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<std::size_t>(n));
    }
    return {};
}

} // namespace kelvo::host::platform
