#include "hostrelay.h"
#include "relayprobe.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <bcrypt.h>

#include <chrono>

namespace kelvo::host {

namespace {

// Winsock's own texts are localized and need a message table; the code is
// what a support call can use.
std::string SocketError(const char *what) {
    return std::string(what) + ": Windows Sockets error " + std::to_string(WSAGetLastError());
}

class Winsock {
public:
    Winsock() : ok_(WSAStartup(MAKEWORD(2, 2), &data_) == 0) {}
    ~Winsock() {
        if (ok_)
            WSACleanup();
    }
    Winsock(const Winsock &) = delete;
    Winsock &operator=(const Winsock &) = delete;
    bool ok() const { return ok_; }

private:
    WSADATA data_{};
    bool ok_;
};

class Socket {
public:
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() {
        if (s_ != INVALID_SOCKET)
            closesocket(s_);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    SOCKET get() const { return s_; }

private:
    SOCKET s_;
};

} // namespace

RelayProbe ProbeRelay(const std::string &address, int port) {
    using Clock = std::chrono::steady_clock;
    RelayProbe result;
    const Winsock winsock;
    sockaddr_in relay{};
    relay.sin_family = AF_INET;
    relay.sin_port = htons(static_cast<u_short>(RelayPort(port)));
    if (port < 0 || port > 65535 || !winsock.ok() ||
        inet_pton(AF_INET, address.c_str(), &relay.sin_addr) != 1) {
        result.text = "not an IPv4 address and port";
        return result;
    }
    unsigned char nonce[kProbeNonceSize];
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, nonce, sizeof nonce, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        result.text = "cannot ask it: no random nonce";
        return result;
    }
    const Socket s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (s.get() == INVALID_SOCKET) {
        result.text = SocketError("cannot ask it");
        return result;
    }
    // Connected, so the system drops datagrams from any other source and a
    // closed port is reported (WSAECONNRESET) instead of waited for.
    if (connect(s.get(), reinterpret_cast<const sockaddr *>(&relay), sizeof relay) != 0) {
        result.text = SocketError("cannot reach it");
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
        if (send(s.get(), reinterpret_cast<const char *>(request), sizeof request, 0) !=
            static_cast<int>(sizeof request)) {
            if (WSAGetLastError() == WSAECONNRESET)
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
            WSAPOLLFD p{s.get(), POLLRDNORM, 0};
            if (WSAPoll(&p, 1, static_cast<INT>(left)) <= 0)
                break;
            unsigned char answer[kProbeAnswerMax + 1];
            sockaddr_in from{};
            int fromLen = sizeof from;
            const int n = recvfrom(s.get(), reinterpret_cast<char *>(answer), sizeof answer, 0,
                                   reinterpret_cast<sockaddr *>(&from), &fromLen);
            if (n < 0) {
                const int error = WSAGetLastError();
                if (error == WSAECONNRESET) {
                    result.text = "nothing listens there";
                    break;
                }
                // Too long to be an answer: not ours.
                if (error == WSAEMSGSIZE)
                    continue;
                break;
            }
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
           "; start the service kelvo-relay (Services, \"Kelvo relay\"; or as administrator: sc "
           "start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)";
}

} // namespace kelvo::host
