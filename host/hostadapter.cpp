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

bool usable(const AdapterEntry &a) {
    return !a.ip.empty() && !a.mask.empty() && a.ip != "0.0.0.0";
}

void resetLocal() {
    LocalAddress = 0;
    LocalNetmask = 0;
    LocalIpText.clear();
    LocalNetmaskText.clear();
    LocalGatewayText.clear();
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

int ChooseAdapter(const std::vector<AdapterEntry> &adapters, const std::string &deviceIp) {
    const std::uint32_t device = parse(deviceIp);
    const bool known = !deviceIp.empty() && device != kNone;
    int withGateway = -1, first = -1;
    for (int i = 0; i < static_cast<int>(adapters.size()); ++i) {
        const AdapterEntry &a = adapters[static_cast<std::size_t>(i)];
        if (!usable(a))
            continue;
        const std::uint32_t mask = parse(a.mask);
        if (known && (device & mask) == (parse(a.ip) & mask))
            return i;
        if (withGateway < 0 && !a.gateway.empty())
            withGateway = i;
        if (first < 0)
            first = i;
    }
    return withGateway >= 0 ? withGateway : first;
}

void UseAdapter(const AdapterEntry &adapter) {
    LocalIpText = adapter.ip;
    LocalNetmaskText = adapter.mask;
    LocalGatewayText = adapter.gateway;
    LocalAddress = parse(adapter.ip);
    LocalNetmask = parse(adapter.mask);
}

int UseAdapterFor(const std::string &deviceIp, const std::string &name) {
    return UseAdapterFor(deviceIp, name, platform::ListAdapters);
}

int UseAdapterFor(const std::string &deviceIp, const std::string &name,
                  const AdapterLister &lister) {
    resetLocal();
    std::vector<AdapterEntry> adapters;
    if (!lister || lister(adapters) != 0)
        return -1;
    if (!name.empty()) {
        for (const AdapterEntry &a : adapters)
            if (a.name == name && usable(a)) {
                UseAdapter(a);
                return 0;
            }
        return -2;
    }
    const int i = ChooseAdapter(adapters, deviceIp);
    if (i >= 0)
        UseAdapter(adapters[static_cast<std::size_t>(i)]);
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
