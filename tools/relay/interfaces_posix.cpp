// Interface list of a POSIX system.
#include "relay.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>

namespace kelvo::relay {

std::vector<Target> broadcast_targets(std::uint16_t port, const std::vector<std::string> &only) {
    std::vector<Target> out;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK) ||
            !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr)
            continue;
        if (!only.empty() && std::find(only.begin(), only.end(), i->ifa_name) == only.end())
            continue;
        sockaddr_in sa = *reinterpret_cast<const sockaddr_in *>(i->ifa_broadaddr);
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        bool seen = false;
        for (const auto &o : out)
            seen = seen || o.address.sin_addr.s_addr == sa.sin_addr.s_addr;
        if (!seen && sa.sin_addr.s_addr != 0)
            out.push_back({sa, i->ifa_name});
    }
    freeifaddrs(list);
    return out;
}

} // namespace kelvo::relay
