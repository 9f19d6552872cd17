#include "hostrelay.h"
#include "relayprobe.h"

#include "uniquefd_posix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvo::host {

namespace {

bool RandomBytes(unsigned char *out, std::size_t n) {
    while (n > 0) {
        const ssize_t got = getrandom(out, n, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// The connected socket filters by source already; the check stays so the
// rule does not hang on a socket option.
class PosixChannel : public ProbeChannel {
public:
    PosixChannel(int fd, const RelayTarget &relay) : sock(fd), relayTarget(relay) {}

    bool Send(const unsigned char *data, std::size_t len, bool &refused) override {
        if (send(sock.fd(), data, len, 0) == static_cast<ssize_t>(len))
            return true;
        refused = errno == ECONNREFUSED;
        return false;
    }

    bool WaitReadable(int ms) override {
        pollfd p{sock.fd(), POLLIN, 0};
        int ready;
        do {
            ready = poll(&p, 1, ms);
        } while (ready < 0 && errno == EINTR);
        return ready > 0;
    }

    Received Receive(unsigned char *buffer, std::size_t cap, std::size_t &len) override {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n =
            recvfrom(sock.fd(), buffer, cap, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n < 0)
            return errno == ECONNREFUSED ? Received::Refused : Received::Skip;
        return FromRelay(relayTarget, from.sin_addr.s_addr, from.sin_port, n, len);
    }

private:
    const platform::UniqueFd sock;
    RelayTarget relayTarget;
};

} // namespace

std::unique_ptr<ProbeChannel> OpenProbeChannel(const RelayTarget &relay, unsigned char *nonce,
                                               std::string &why) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    auto channel = std::make_unique<PosixChannel>(fd, relay);
    if (fd < 0 || !RandomBytes(nonce, kProbeNonceSize)) {
        why = std::string("cannot ask it: ") + std::strerror(errno);
        return nullptr;
    }
    const auto to = relay.As<sockaddr_in>(AF_INET);
    // Connected, so the system drops datagrams from any other source and a
    // closed port is reported at once instead of after the waits.
    if (connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        why = std::string("cannot reach it: ") + std::strerror(errno);
        return nullptr;
    }
    return channel;
}

std::string NoRelayText(const std::string &address, int port, const std::string &why) {
    return "No relay at " + RelayEndpoint(address, port) + ": " + why +
           "; start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run "
           "kelvo-relay in a terminal)";
}

} // namespace kelvo::host
