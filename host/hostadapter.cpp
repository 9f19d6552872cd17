#include "hostadapter.h"

#include "hostping.h"
#include "hostplatform.h"
#include "qvtext.h"

#include <cstring>

namespace kelvo::host {

std::uint32_t LocalAddress = 0;
std::uint32_t LocalNetmask = 0;
std::string LocalIpText;
std::string LocalNetmaskText;
std::string LocalGatewayText;
std::string LocalAdapterName;

namespace {

// The all-ones value stands for a text that is no address; it is also the
// value of "255.255.255.255", which is why that address cannot be told
// apart from a typing error (as the address checks have always answered).
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint32_t parse(const std::string &text) {
    std::uint32_t networkOrder = kNone;
    return qv::parse_dotted_ipv4(text, networkOrder) ? networkOrder : kNone;
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

bool usable(const AdapterEntry &a) {
    return !a.ip.empty() && !a.mask.empty() && a.ip != "0.0.0.0";
}

void resetLocal() {
    LocalAddress = 0;
    LocalNetmask = 0;
    LocalIpText.clear();
    LocalNetmaskText.clear();
    LocalGatewayText.clear();
    LocalAdapterName.clear();
}

} // namespace

int ReadLocalAdapter() {
    return ReadLocalAdapter(platform::ListAdapters);
}

int ReadLocalAdapter(const AdapterLister &lister) {
    resetLocal();
    std::vector<AdapterEntry> adapters;
    if (!lister || lister(adapters) != 0)
        return -1;
    for (const AdapterEntry &a : adapters) {
        if (usable(a)) {
            UseAdapter(a);
            break;
        }
    }
    return 0;
}

int ListLocalAdapters(std::vector<AdapterEntry> &out) {
    return platform::ListAdapters(out);
}

int ChooseAdapter(const std::vector<AdapterEntry> &adapters, const std::string &newIp,
                  const std::string &currentIp) {
    int withGateway = -1, first = -1;
    for (int i = 0; i < static_cast<int>(adapters.size()); ++i) {
        const AdapterEntry &a = adapters[static_cast<std::size_t>(i)];
        if (!usable(a))
            continue;
        if (withGateway < 0 && !a.gateway.empty())
            withGateway = i;
        if (first < 0)
            first = i;
    }
    for (const std::string &ip : {newIp, currentIp}) {
        const std::uint32_t device = parse(ip);
        if (ip.empty() || device == kNone)
            continue;
        for (int i = 0; i < static_cast<int>(adapters.size()); ++i) {
            const AdapterEntry &a = adapters[static_cast<std::size_t>(i)];
            const std::uint32_t mask = parse(a.mask);
            if (usable(a) && (device & mask) == (parse(a.ip) & mask))
                return i;
        }
    }
    return withGateway >= 0 ? withGateway : first;
}

void UseAdapter(const AdapterEntry &adapter) {
    LocalIpText = adapter.ip;
    LocalNetmaskText = adapter.mask;
    LocalGatewayText = adapter.gateway;
    LocalAddress = parse(adapter.ip);
    LocalNetmask = parse(adapter.mask);
    LocalAdapterName = adapter.name;
}

int UseAdapterFor(const std::string &deviceIp, const std::string &name) {
    return UseAdapterFor(deviceIp, name, platform::ListAdapters);
}

int UseAdapterFor(const std::string &deviceIp, const std::string &name,
                  const AdapterLister &lister) {
    return UseAdapterForMove(deviceIp, {}, name, lister);
}

int UseAdapterForMove(const std::string &newIp, const std::string &currentIp,
                      const std::string &name, const AdapterLister &lister) {
    resetLocal();
    std::vector<AdapterEntry> adapters;
    if ((lister ? lister(adapters) : platform::ListAdapters(adapters)) != 0)
        return -1;
    if (!name.empty()) {
        for (const AdapterEntry &a : adapters)
            if (a.name == name && usable(a)) {
                UseAdapter(a);
                return 0;
            }
        return -2;
    }
    const int i = ChooseAdapter(adapters, newIp, currentIp);
    if (i >= 0)
        UseAdapter(adapters[static_cast<std::size_t>(i)]);
    return 0;
}

int PrefixLength(const std::string &maskText) {
    std::uint8_t b[4];
    if (!qv::parse_dotted_ipv4(maskText, b))
        return -1;
    const std::uint32_t m =
        std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    // Ones followed by zeros: the complement plus one is a power of two.
    const std::uint32_t hostPart = ~m;
    if ((hostPart & (hostPart + 1)) != 0)
        return -1;
    int bits = 0;
    for (std::uint32_t v = m; v != 0; v <<= 1)
        ++bits;
    return bits;
}

std::string AddressFault(const std::string &ipText, const std::string &maskText) {
    std::uint8_t b[4];
    if (!qv::parse_dotted_ipv4(ipText, b))
        return ipText + " is not a dotted IPv4 address";
    const int prefix = PrefixLength(maskText);
    if (prefix <= 0) {
        std::uint8_t m[4];
        return qv::parse_dotted_ipv4(maskText, m)
                   ? "mask " + maskText + " is not a subnet mask (ones, then zeros)"
                   : maskText + " is not a dotted IPv4 address";
    }
    if (b[0] == 0 || b[0] >= 224)
        return ipText + " is not an address a device can have";
    const std::uint32_t ip =
        std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    const std::uint32_t hostPart = prefix == 32 ? 0 : 0xFFFFFFFFu >> prefix;
    const std::uint32_t network = ip & ~hostPart;
    unsigned char n[4] = {
        static_cast<unsigned char>(network >> 24), static_cast<unsigned char>(network >> 16),
        static_cast<unsigned char>(network >> 8), static_cast<unsigned char>(network)};
    std::uint32_t networkOrder;
    std::memcpy(&networkOrder, n, sizeof n);
    const std::string subnet = dotted(networkOrder) + "/" + std::to_string(prefix);
    if (prefix <= 30 && ip == network)
        return ipText + " is the network address of " + subnet;
    if (prefix <= 30 && ip == (network | hostPart))
        return ipText + " is the broadcast address of " + subnet;
    return "";
}

std::string CheckedNetworkText() {
    if (LocalIpText.empty())
        return "";
    const int prefix = PrefixLength(LocalNetmaskText);
    return (LocalAdapterName.empty() ? LocalIpText : LocalAdapterName) + ", network " +
           dotted(LocalAddress & LocalNetmask) + "/" +
           (prefix >= 0 ? std::to_string(prefix) : LocalNetmaskText);
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
