// The socket calls the relay makes, so that relay.cpp holds the relay's
// logic and relay_posix.cpp / relay_win32.cpp only the platform's calls.
#ifndef KELVO_RELAY_NET_H
#define KELVO_RELAY_NET_H

#include "relay.h"

#ifndef _WIN32
#include <arpa/inet.h>
#endif

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvo::relay::net {

using Socket = qv_socket_t;
inline constexpr Socket invalid = QV_INVALID_SOCKET;

// The text of the last failed call's error.
std::string error_text();
// A non-blocking UDP socket that no child process inherits; `invalid` on failure.
Socket open_udp();
void close(Socket s);
bool bind_to(Socket s, const sockaddr_in &address);
// Prepares a bound socket for listening: non-blocking, not inherited, the
// address not shared, the arrival interface reported. The bound address into
// `bound`. False with a message when the socket is not a bound IPv4 datagram
// socket or cannot be set up.
bool prepare_listening(Socket s, sockaddr_in &bound, std::string *error);
// A burst of a thousand replies must fit into the socket's queue.
void enlarge_buffers(Socket s);
void enable_broadcast(Socket s);
// Asks for the arrival interface of every datagram (see receive).
void report_interface(Socket s);
// One datagram with the index of the interface it arrived on (0 when the
// system did not tell) and, when `to` is given, the address it was sent to
// (0.0.0.0 when not told). Its length, or -1 when none is waiting.
long receive(Socket s, std::uint8_t *buf, std::size_t cap, sockaddr_in &from, int &ifindex,
             in_addr *to = nullptr);
bool send_to(Socket s, const void *data, std::size_t len, const sockaddr_in &to);
// The indexes of the loopback interfaces.
std::vector<int> loopback_interfaces();
// The name of interface `index` as broadcast_targets() names it; "" when unknown.
std::string interface_name(int index);
// Waits at most `timeout_ms` until `stop` is signalled (1) or a socket has
// something to read (0; `readable` tells which, or is all true where the
// system cannot tell). 0 also on a time-out; -1 with a message on failure.
int wait(StopHandle stop, const std::vector<Socket> &sockets, int timeout_ms,
         std::vector<char> &readable, std::string *error);

} // namespace kelvo::relay::net

#endif
