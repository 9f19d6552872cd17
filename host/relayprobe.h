// The platform-free half of the relay probe: the datagrams and the texts.
// Each platform's relayprobe_<platform>.cpp does the sending and waiting.
#ifndef KELVO_RELAYPROBE_H
#define KELVO_RELAYPROBE_H

#include "hostrelay.h"
#include "wire.h"

#include <cstddef>
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

} // namespace kelvo::host

#endif
