// The IPv4 socket address, declared by each socket layer's own headers, for
// the socket code that reads the same on both.
#ifndef UDPS_NET_SOCKADDR_H
#define UDPS_NET_SOCKADDR_H

#include "net.h"

#if defined(_WIN32)
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace qvudps::net {

// The address of a dotted IPv4 text and a port; on a bad or missing text
// sets last_error() to invalid_argument_error() and returns false.
bool make_address(const char *ip, uint16_t port, sockaddr_in &addr);

} // namespace qvudps::net

#endif
