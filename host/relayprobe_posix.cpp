#include "hostrelay.h"
#include "relayprobe.h"

#include "qvtext.h"

#include "uniquefd_posix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
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

} // namespace

RelayProbe ProbeRelay(const std::string &address, int port) {
    using Clock = std::chrono::steady_clock;
    RelayProbe result;
    sockaddr_in relay{};
    relay.sin_family = AF_INET;
    relay.sin_port = htons(static_cast<std::uint16_t>(RelayPort(port)));
    if (port < 0 || port > 65535 || !qv::parse_dotted_ipv4(address, relay.sin_addr.s_addr)) {
        result.text = "not an IPv4 address and port";
        return result;
    }
    unsigned char nonce[kProbeNonceSize];
    const platform::UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.fd() < 0 || !RandomBytes(nonce, sizeof nonce)) {
        result.text = std::string("cannot ask it: ") + std::strerror(errno);
        return result;
    }
    // Connected, so the system drops datagrams from any other source and a
    // closed port is reported at once instead of after the waits.
    if (connect(fd.fd(), reinterpret_cast<const sockaddr *>(&relay), sizeof relay) != 0) {
        result.text = std::string("cannot reach it: ") + std::strerror(errno);
        return result;
    }
    unsigned char request[kProbeRequestSize];
    if (!BuildRelayProbe(nonce, request)) {
        result.text = "cannot build the probe";
        return result;
    }
    result.presence = RelayPresence::Absent;
    result.text = "nothing there answers as kelvo-relay";
    for (int attempt = 0; attempt < kProbeTries; ++attempt) {
        if (send(fd.fd(), request, sizeof request, 0) != static_cast<ssize_t>(sizeof request)) {
            if (errno == ECONNREFUSED)
                result.text = "nothing listens there";
            continue;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(kProbeWaitMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0)
                break;
            pollfd p{fd.fd(), POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            unsigned char answer[kProbeAnswerMax + 1];
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            const ssize_t n = recvfrom(fd.fd(), answer, sizeof answer, 0,
                                       reinterpret_cast<sockaddr *>(&from), &fromLen);
            if (n < 0) {
                if (errno == ECONNREFUSED) {
                    result.text = "nothing listens there";
                    break;
                }
                continue;
            }
            // The connected socket filters already; the check stays so the
            // rule does not hang on a socket option.
            if (from.sin_addr.s_addr != relay.sin_addr.s_addr || from.sin_port != relay.sin_port)
                continue;
            std::string status;
            if (IsRelayAnswer(answer, static_cast<std::size_t>(n), nonce, &status)) {
                result.presence = RelayPresence::Answering;
                result.text = status;
                return result;
            }
        }
    }
    return result;
}

std::string NoRelayText(const std::string &address, int port, const std::string &why) {
    return "No relay at " + RelayEndpoint(address, port) + ": " + why +
           "; start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run "
           "kelvo-relay in a terminal)";
}

} // namespace kelvo::host
