#include "relayprobe.h"

#include <cstring>

namespace kelvo::host {

namespace {

constexpr char kMagic[4] = {'K', 'V', 'R', 'L'};
static_assert(kProbeAnswerFixed == sizeof kMagic + 1 + kProbeNonceSize);

} // namespace

std::string RelayEndpoint(const std::string &address, int port) {
    return address + ":" + std::to_string(RelayPort(port));
}

bool BuildRelayProbe(const unsigned char *nonce, unsigned char (&request)[kProbeRequestSize]) {
    return qvudps::wrap_proxy(kProbeKind, "Mvx-Config", nonce, kProbeNonceSize, request,
                              sizeof request) == sizeof request;
}

bool IsRelayAnswer(const unsigned char *data, std::size_t len, const unsigned char *nonce,
                   std::string *status) {
    if (len < kProbeAnswerFixed || len > kProbeAnswerMax)
        return false;
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0 || data[sizeof kMagic] != kProbeVersion ||
        std::memcmp(data + sizeof kMagic + 1, nonce, kProbeNonceSize) != 0)
        return false;
    const char *text = reinterpret_cast<const char *>(data + kProbeAnswerFixed);
    const std::size_t textLen = len - kProbeAnswerFixed;
    if (std::memchr(text, '\0', textLen))
        return false;
    status->assign(text, textLen);
    return true;
}

std::string NothingFoundText(const std::string &address, int port, const std::string &relayStatus) {
    if (!relayStatus.empty())
        return "no device answered through the relay at " + RelayEndpoint(address, port) +
               ", which says: " + relayStatus;
    return "no device answered through the relay at " + RelayEndpoint(address, port) +
           " (its log names the interfaces it searched); a firewall blocking UDP from the "
           "devices is the usual cause";
}

} // namespace kelvo::host
