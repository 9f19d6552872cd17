// Interface list of a POSIX system.
#include "relay.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace kelvo::relay {

std::vector<sockaddr_in> broadcast_targets(std::uint16_t port) {
    std::vector<sockaddr_in> out;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK) ||
            !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr)
            continue;
        sockaddr_in sa = *reinterpret_cast<const sockaddr_in *>(i->ifa_broadaddr);
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        bool seen = false;
        for (const auto &o : out)
            seen = seen || o.sin_addr.s_addr == sa.sin_addr.s_addr;
        if (!seen && sa.sin_addr.s_addr != 0)
            out.push_back(sa);
    }
    freeifaddrs(list);
    return out;
}

} // namespace kelvo::relay
