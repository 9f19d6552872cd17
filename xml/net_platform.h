/*
 * The system socket headers and the few answers whose form differs per socket
 * layer; net.cpp holds what both layers share, net_posix.cpp and
 * net_win32.cpp the rest.
 */
#ifndef QVXML_NET_PLATFORM_H
#define QVXML_NET_PLATFORM_H

#include "net.h"

#if defined(_WIN32)
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace qvxml::net::sys {

#if defined(_WIN32)
using socket_length = int;
#else
using socket_length = socklen_t;
#endif

// The socket layer's error number as the errno the error texts are made of.
int errno_of_socket(int error);

// Leaves the last socket call's failure in errno (Winsock keeps its own
// error); always -1.
int fail_with_last();
// The last connect is under way rather than refused.
bool last_connect_pending();
// The last send or receive only would have blocked or was interrupted.
bool last_would_block();

// The end of one wait on a socket from the poll's `result`: 1 ready (an
// error or hang-up too: the following call reports it), 0 time-out or
// interrupted, -1 failure.
int wait_result(int result);

} // namespace qvxml::net::sys

#endif
