#include "hostrelay.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace kelvo::host {

namespace {

std::string Endpoint(const std::string &address, int port) {
    return address + ":" + std::to_string(port == 0 ? 9999 : port);
}

} // namespace

RelayPresence ProbeRelay(const std::string &address, int port) {
    WSADATA data;
    if (port < 0 || port > 65535 || WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return RelayPresence::Unknown;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port == 0 ? 9999 : port));
    RelayPresence result = RelayPresence::Unknown;
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) == 1) {
        const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (s != INVALID_SOCKET) {
            // Exclusive, so the bind fails whenever anyone holds the port,
            // even one that allowed sharing it.
            BOOL on = TRUE;
            setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&on),
                       sizeof on);
            const int rc = bind(s, reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
            const int error = WSAGetLastError();
            closesocket(s);
            if (rc == 0)
                result = RelayPresence::Absent;
            else if (error == WSAEADDRINUSE || error == WSAEACCES)
                result = RelayPresence::Listening;
        }
    }
    WSACleanup();
    return result;
}

std::string NoRelayText(const std::string &address, int port) {
    return "No relay at " + Endpoint(address, port) +
           ": start the Kelvo Relay service (sc start kelvo-relay)";
}

std::string NothingFoundText(const std::string &address, int port) {
    return "no device answered through the relay at " + Endpoint(address, port) +
           " (its log names the interfaces it searched); a firewall blocking UDP from the "
           "devices is the usual cause";
}

} // namespace kelvo::host
