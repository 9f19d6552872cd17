/*
 * The few socket operations the HTTP transport needs, kept apart so that a
 * port to another socket layer only replaces net_posix.cpp.
 */
#ifndef QVXML_NET_H
#define QVXML_NET_H

#include <qvplatform.h>

#include <stddef.h>

namespace qvxml::net {

// A new IPv4 TCP socket, or QV_INVALID_SOCKET.
qv_socket_t tcp_socket();
// Starts a connect to ip:port on a non-blocking socket: 0 when it is under
// way or made, -1 on any other result (also for an address that is no IPv4).
int connect_start(qv_socket_t s, const char *ip, int port);
// One wait round of `seconds` for writability (write) or readability:
// 1 ready, 0 nothing happened, -1 the wait failed.
int wait_round(qv_socket_t s, bool write, int seconds);
// 0 when the socket has a peer (the connect completed), -1 otherwise.
int peer_connected(qv_socket_t s);
// Bytes read (> 0), 0 when the peer closed, -1 on an error, -2 would block.
long receive_some(qv_socket_t s, char *buffer, size_t capacity);
// Bytes sent (>= 0), -1 on an error, -2 would block. Never raises SIGPIPE.
long send_some(qv_socket_t s, const char *data, size_t length);
// The result of a send or receive call: n itself when it is >= 0, else -2
// when it would block, -1 (errno set) on an error.
long transfer_result(long n);
// First IPv4 address of `host` in dotted form into ip_out (16 bytes): 0 or -1.
int resolve_host(const char *host, char *ip_out);

} // namespace qvxml::net

#endif
