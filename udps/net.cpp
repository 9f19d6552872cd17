// The platform-free socket helpers over the per-platform operations.
#include "net.h"

namespace qvudps::net {

std::string targets_text(const std::vector<BroadcastTarget> &targets) {
    std::string text;
    for (const auto &t : targets)
        text += (text.empty() ? "" : ", ") + t.adapter + " " + t.address;
    return text;
}

int send_to_targets(Socket s, const void *data, std::size_t len,
                    const std::vector<BroadcastTarget> &targets, uint16_t port) {
    if (targets.empty()) {
        set_last_error(no_route_error());
        return -1;
    }
    // Every adapter is tried; the first failure is the one reported.
    int failed = 0;
    for (const auto &t : targets)
        if (send_to(s, data, len, t.address, port) != 0 && failed == 0)
            failed = last_error();
    set_last_error(failed);
    return failed == 0 ? 0 : -1;
}

} // namespace qvudps::net
