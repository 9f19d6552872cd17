#include "hostping.h"

#include "hostplatform.h"
#include "qvtext.h"

namespace kelvo::host {

int PingAddress(const std::string &ipText) {
    std::uint32_t address = 0;
    // A typing error would go to all ones, the limited broadcast: never send
    // there. Nobody can answer at an address that does not exist.
    if (!qv::parse_dotted_ipv4(ipText, address) || address == 0xFFFFFFFFu)
        return 1;
    return platform::Ping(address, platform::IcmpSocket::Any, 2, 1000);
}

} // namespace kelvo::host
