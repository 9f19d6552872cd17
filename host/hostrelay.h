// Whether a relay answers on its address, asked before a search and before a
// setup, so that a missing relay is named instead of ending in an empty device
// list, and a setup signed with the user's key never goes to whatever else
// took the relay's port.
//
// Threading: no shared state; any thread. Blocks for at most two answer waits
// (kProbeWaitMs each).
#ifndef KELVO_HOSTRELAY_H
#define KELVO_HOSTRELAY_H

#include <cstddef>
#include <string>

namespace kelvo::host {

enum class RelayPresence {
    Answering, // a relay answered the probe
    Absent,    // nothing answered as a relay: nobody to send a search or setup to
    Unknown,   // cannot ask (an address that is no dotted IPv4, no socket)
};

// The exchange: the relay header of kind kProbeKind in front of
// kProbeNonceSize random bytes; the answer is "KVRL", the version byte, the
// nonce and up to kProbeStatusMax bytes of status text, from exactly the
// relay's address and port.
inline constexpr unsigned char kProbeKind = 3;
inline constexpr std::size_t kProbeNonceSize = 16;
inline constexpr unsigned char kProbeVersion = 1;
inline constexpr std::size_t kProbeStatusMax = 200;
inline constexpr int kProbeWaitMs = 500;
inline constexpr int kProbeTries = 2;

struct RelayProbe {
    RelayPresence presence = RelayPresence::Unknown;
    // Answering: the relay's own reason why it can send searches nowhere,
    // empty when it can. Otherwise why the relay counts as absent.
    std::string text;
};

// Sends the probe to the relay's address and port (0 means 9999) and waits
// for its answer.
RelayProbe ProbeRelay(const std::string &address, int port);

// "No relay at 127.0.0.1:9999: <why>; start kelvo-relay (systemctl start
// kelvo-relay; where systemd does not run, run kelvo-relay in a terminal)"
std::string NoRelayText(const std::string &address, int port, const std::string &why);

// Why a search through a running relay may have found nothing, and where it
// looked: the relay's own status text when it gave one.
std::string NothingFoundText(const std::string &address, int port,
                             const std::string &relayStatus = {});

} // namespace kelvo::host

#endif
