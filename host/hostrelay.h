// Whether anything listens on the relay's address, asked before a search so
// that a missing relay is named instead of ending in an empty device list.
//
// Threading: no shared state; any thread. Blocks for one bind() at most.
#ifndef KELVO_HOSTRELAY_H
#define KELVO_HOSTRELAY_H

#include <string>

namespace kelvo::host {

enum class RelayPresence {
    Listening, // something holds the relay's UDP port on its address
    Absent,    // the port is free: nobody would receive a search
    Unknown,   // cannot tell (an address of another host, no permission)
};

// Tries to bind a UDP socket to the relay's address and port (0 means 9999)
// and lets it go at once: a port that we can take is held by nobody.
RelayPresence ProbeRelay(const std::string &address, int port);

// "No relay at 127.0.0.1:9999: start kelvo-relay (systemctl start kelvo-relay; where
// systemd does not run, run kelvo-relay in a terminal)"
std::string NoRelayText(const std::string &address, int port);

// Why a search through a running relay may have found nothing, and where it
// looked.
std::string NothingFoundText(const std::string &address, int port);

} // namespace kelvo::host

#endif
