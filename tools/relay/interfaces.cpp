// Where broadcasts go: the discovery library reads the adapter list.
#include "net.h"
#include "qvtext.h"
#include "relay_net.h"

namespace kelvo::relay {

std::vector<Target> broadcast_targets(std::uint16_t port, const std::vector<std::string> &only) {
    std::vector<Target> out;
    for (const auto &t : qvudps::net::broadcast_targets(only)) {
        Target target;
        target.address.sin_family = AF_INET;
        target.address.sin_port = htons(port);
        qv::parse_dotted_ipv4(qv::field_text(t.address), target.address.sin_addr.s_addr);
        target.interface_name = t.adapter;
        out.push_back(target);
    }
    return out;
}

} // namespace kelvo::relay
