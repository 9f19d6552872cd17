#include "relayprobe.h"

#include "qvplatform.h"
#include "qvtext.h"

#include <cstring>

namespace kelvo::host {

namespace {

constexpr char kMagic[4] = {'K', 'V', 'R', 'L'};
static_assert(kProbeAnswerFixed == sizeof kMagic + 1 + kProbeNonceSize);

} // namespace

std::string RelayEndpoint(const std::string &address, int port) {
    return address + ":" + std::to_string(RelayPort(port));
}

bool ReadRelayTarget(const std::string &address, int port, RelayTarget &target) {
    if (port < 0 || port > 65535 || !qv::parse_dotted_ipv4(address, target.address))
        return false;
    const int p = RelayPort(port);
    const unsigned char bytes[2] = {static_cast<unsigned char>(p >> 8),
                                    static_cast<unsigned char>(p & 0xFF)};
    std::memcpy(&target.port, bytes, sizeof bytes);
    return true;
}

ProbeChannel::Received FromRelay(const RelayTarget &relay, std::uint32_t address,
                                 std::uint16_t port, long n, std::size_t &len) {
    if (address != relay.address || port != relay.port)
        return ProbeChannel::Received::Skip;
    len = static_cast<std::size_t>(n);
    return ProbeChannel::Received::Datagram;
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

RelayProbe ProbeRelay(const std::string &address, int port) {
    RelayProbe result;
    RelayTarget target;
    if (!ReadRelayTarget(address, port, target)) {
        result.text = "not an IPv4 address and port";
        return result;
    }
    unsigned char nonce[kProbeNonceSize];
    const auto channel = OpenProbeChannel(target, nonce, result.text);
    return channel ? RunRelayProbe(*channel, nonce) : result;
}

RelayProbe RunRelayProbe(ProbeChannel &channel, const unsigned char *nonce) {
    RelayProbe result;
    unsigned char request[kProbeRequestSize];
    if (!BuildRelayProbe(nonce, request)) {
        result.text = "cannot build the probe";
        return result;
    }
    result.presence = RelayPresence::Absent;
    result.text = "nothing there answers as kelvo-relay";
    for (int attempt = 0; attempt < kProbeTries; ++attempt) {
        bool refused = false;
        if (!channel.Send(request, sizeof request, refused)) {
            if (refused)
                result.text = "nothing listens there";
            continue;
        }
        const std::int64_t deadline = qv_monotonic_ms() + kProbeWaitMs;
        for (;;) {
            const std::int64_t left = deadline - qv_monotonic_ms();
            if (left <= 0 || !channel.WaitReadable(static_cast<int>(left)))
                break;
            unsigned char answer[kProbeAnswerMax + 1];
            std::size_t n = 0;
            const ProbeChannel::Received got = channel.Receive(answer, sizeof answer, n);
            if (got == ProbeChannel::Received::Refused)
                result.text = "nothing listens there";
            if (got == ProbeChannel::Received::Refused || got == ProbeChannel::Received::Stop)
                break;
            std::string status;
            if (got == ProbeChannel::Received::Datagram &&
                IsRelayAnswer(answer, n, nonce, &status)) {
                result.presence = RelayPresence::Answering;
                result.text = status;
                return result;
            }
        }
    }
    return result;
}

} // namespace kelvo::host
