#include "hostrelay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvo::host {

namespace {

std::string Endpoint(const std::string &address, int port) {
    return address + ":" + std::to_string(port == 0 ? 9999 : port);
}

} // namespace

RelayPresence ProbeRelay(const std::string &address, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port == 0 ? 9999 : port));
    if (port < 0 || port > 65535 || inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1)
        return RelayPresence::Unknown;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return RelayPresence::Unknown;
    // No SO_REUSEADDR: the bind must fail whenever anyone holds the port.
    const int rc = bind(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    const int error = errno;
    close(fd);
    if (rc == 0)
        return RelayPresence::Absent;
    return error == EADDRINUSE ? RelayPresence::Listening : RelayPresence::Unknown;
}

std::string NoRelayText(const std::string &address, int port) {
    return "No relay at " + Endpoint(address, port) +
           ": start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, "
           "run kelvo-relay in a terminal)";
}

std::string NothingFoundText(const std::string &address, int port) {
    return "no device answered through the relay at " + Endpoint(address, port) +
           " (its log names the interfaces it searched); a firewall blocking UDP from the "
           "devices is the usual cause";
}

} // namespace kelvo::host
