// The platform-free half of the relay probe: the datagrams and the texts.
// Each platform's relayprobe_<platform>.cpp does the sending and waiting.
#ifndef KELVO_RELAYPROBE_H
#define KELVO_RELAYPROBE_H

#include "hostrelay.h"
#include "wire.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace kelvo::host {

inline constexpr std::size_t kProbeRequestSize = qvudps::proxy_header_size + kProbeNonceSize;
// "KVRL", the version byte and the nonce, then the status text.
inline constexpr std::size_t kProbeAnswerFixed = 4 + 1 + kProbeNonceSize;
inline constexpr std::size_t kProbeAnswerMax = kProbeAnswerFixed + kProbeStatusMax;

inline int RelayPort(int port) {
    return port == 0 ? 9999 : port;
}

// "127.0.0.1:9999"
std::string RelayEndpoint(const std::string &address, int port);

// The probe carrying `nonce` (kProbeNonceSize bytes) into `request`.
bool BuildRelayProbe(const unsigned char *nonce, unsigned char (&request)[kProbeRequestSize]);

// True when `data` is the answer to `nonce`; its status text into `status`.
bool IsRelayAnswer(const unsigned char *data, std::size_t len, const unsigned char *nonce,
                   std::string *status);

// The relay's address and port as a socket address holds them (network
// byte order).
struct RelayTarget {
    std::uint32_t address = 0;
    std::uint16_t port = 0;

    // As the IPv4 socket address of either socket layer.
    template <class SocketAddress> SocketAddress As(int family) const {
        SocketAddress a{};
        a.sin_family = static_cast<decltype(a.sin_family)>(family);
        // Copied whole: Winsock names the field through a macro.
        std::memcpy(&a.sin_addr, &address, sizeof address);
        a.sin_port = port;
        return a;
    }
};
// False for a text that is no IPv4 address or a port out of range.
bool ReadRelayTarget(const std::string &address, int port, RelayTarget &target);

// The sending and waiting of one platform's connected UDP socket.
class ProbeChannel {
public:
    enum class Received { Datagram, Skip, Refused, Stop };

    virtual ~ProbeChannel() = default;
    // False when the request did not go out; `refused` when nothing listens.
    virtual bool Send(const unsigned char *data, std::size_t len, bool &refused) = 0;
    // True when a datagram (or an error) waits, false after `ms` or a failure.
    virtual bool WaitReadable(int ms) = 0;
    // One datagram into `buffer`, its length into `len`; Skip for one that
    // is not the relay's, Refused when nothing listens, Stop to give up.
    virtual Received Receive(unsigned char *buffer, std::size_t cap, std::size_t &len) = 0;
};

// Sends the probe carrying `nonce` kProbeTries times and waits kProbeWaitMs
// after each for the matching answer.
RelayProbe RunRelayProbe(ProbeChannel &channel, const unsigned char *nonce);

// One platform's UDP socket connected to the relay, with the probe's random
// nonce (kProbeNonceSize bytes) into `nonce`; null, with the reason in `why`,
// when either cannot be had.
std::unique_ptr<ProbeChannel> OpenProbeChannel(const RelayTarget &relay, unsigned char *nonce,
                                               std::string &why);

// A datagram of `n` bytes from `address`/`port` (network byte order): the
// relay's (its length into `len`), or one to skip.
ProbeChannel::Received FromRelay(const RelayTarget &relay, std::uint32_t address,
                                 std::uint16_t port, long n, std::size_t &len);

} // namespace kelvo::host

#endif
