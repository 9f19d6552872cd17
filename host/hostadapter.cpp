#include "hostadapter.h"

#include "hostping.h"
#include "hostplatform.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif

namespace kelvo::host {

std::uint32_t LocalAddress = 0;
std::uint32_t LocalNetmask = 0;
std::string LocalIpText;
std::string LocalNetmaskText;
std::string LocalGatewayText;

namespace {

// inet_addr's all-ones failure value; it also stands for "255.255.255.255",
// which is why that address cannot be told apart from a typing error.
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint32_t parse(const std::string &text) {
    return inet_addr(text.c_str());
}

std::string dotted(std::uint32_t networkOrder) {
    unsigned char b[4];
    std::memcpy(b, &networkOrder, sizeof b);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

bool startsWith(const std::string &text, const char *prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

} // namespace

int ReadLocalAdapter() {
    return ReadLocalAdapter(platform::ListAdapters);
}

int ReadLocalAdapter(const AdapterLister &lister) {
    LocalAddress = 0;
    LocalNetmask = 0;
    LocalIpText.clear();
    LocalNetmaskText.clear();
    LocalGatewayText.clear();

    std::vector<AdapterEntry> adapters;
    if (!lister || lister(adapters) != 0)
        return -1;
    for (const AdapterEntry &a : adapters) {
        if (a.ip.empty() || a.mask.empty() || a.ip == "0.0.0.0")
            continue;
        LocalIpText = a.ip;
        LocalNetmaskText = a.mask;
        LocalGatewayText = a.gateway;
        LocalAddress = parse(a.ip);
        LocalNetmask = parse(a.mask);
        break;
    }
    return 0;
}

bool CheckNewAddress(const std::string &ipText, const std::string &maskText,
                     const std::string &gatewayText, HostPrompts &prompts) {
    const std::uint32_t ip = parse(ipText);
    if (ip == kNone || parse(maskText) == kNone || parse(gatewayText) == kNone) {
        prompts.error("Some of network parameters is not correct?");
        return false;
    }
    // The PC's mask, not the typed one, decides what the local network is.
    if ((ip & LocalNetmask) != (LocalAddress & LocalNetmask))
        return prompts.confirm("IP address is out of your local network range!\r\n\r\n"
                               "Are you sure to use this conflict IP address?");
    if ((ip & ~LocalNetmask) == 0 &&
        !prompts.confirm("IP address is local network address!\r\n\r\n"
                         "Are you sure to use this conflict IP address?"))
        return false;
    if ((ip | LocalNetmask) == kNone &&
        !prompts.confirm("IP address is local broadcast address!\r\n\r\n"
                         "Are you sure to use this conflict IP address?"))
        return false;
    return true;
}

int CheckReachable(const std::string &ipText, HostPrompts &prompts) {
    return CheckReachable(ipText, prompts, PingAddress);
}

int CheckReachable(const std::string &ipText, HostPrompts &prompts, const PingFunction &ping) {
    if (!startsWith(ipText, "192.168.") || !startsWith(LocalIpText, "192.168."))
        return 0;
    const std::uint32_t ip = parse(ipText);
    if (ip == kNone) {
        prompts.error("Device IP address is not correct!");
        return -2;
    }
    if ((ip & LocalNetmask) != (LocalAddress & LocalNetmask) && ping(ipText) != 0) {
        const std::string network = NetworkText(LocalAddress, LocalNetmask);
        return prompts.confirmOutOfRange(ipText, network) ? 0 : -3;
    }
    return 0;
}

std::string NetworkText(std::uint32_t address, std::uint32_t netmask) {
    std::string text = dotted(address & netmask);
    text.back() = 'X';
    return text;
}

} // namespace kelvo::host
