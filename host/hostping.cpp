#include "hostping.h"

#include "hostplatform.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif

namespace kelvo::host {

int PingAddress(const std::string &ipText) {
    const std::uint32_t address = inet_addr(ipText.c_str());
    // A typing error parses to all ones, the limited broadcast: never send
    // there. Nobody can answer at an address that does not exist.
    if (address == INADDR_NONE)
        return 1;
    return platform::Ping(address, platform::IcmpSocket::Any, 2, 1000);
}

} // namespace kelvo::host
