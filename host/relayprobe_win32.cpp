#include "hostrelay.h"
#include "relayprobe.h"

#include "qvtext.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <bcrypt.h>

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

class WinsockChannel : public ProbeChannel {
public:
    WinsockChannel(SOCKET s, const sockaddr_in &relay) : handle(s), relayAddress(relay) {}

    bool Send(const unsigned char *data, std::size_t len, bool &refused) override {
        if (send(handle, reinterpret_cast<const char *>(data), static_cast<int>(len), 0) ==
            static_cast<int>(len))
            return true;
        refused = WSAGetLastError() == WSAECONNRESET;
        return false;
    }

    bool WaitReadable(int ms) override {
        WSAPOLLFD p{handle, POLLRDNORM, 0};
        return WSAPoll(&p, 1, static_cast<INT>(ms)) > 0;
    }

    Received Receive(unsigned char *buffer, std::size_t cap, std::size_t &len) override {
        sockaddr_in from{};
        int fromLen = sizeof from;
        const int n = recvfrom(handle, reinterpret_cast<char *>(buffer), static_cast<int>(cap), 0,
                               reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n < 0) {
            const int error = WSAGetLastError();
            if (error == WSAECONNRESET)
                return Received::Refused;
            // Too long to be an answer: not ours.
            return error == WSAEMSGSIZE ? Received::Skip : Received::Stop;
        }
        if (from.sin_addr.s_addr != relayAddress.sin_addr.s_addr ||
            from.sin_port != relayAddress.sin_port)
            return Received::Skip;
        len = static_cast<std::size_t>(n);
        return Received::Datagram;
    }

private:
    SOCKET handle;
    sockaddr_in relayAddress;
};

} // namespace

RelayProbe ProbeRelay(const std::string &address, int port) {
    RelayProbe result;
    const Winsock winsock;
    sockaddr_in relay{};
    relay.sin_family = AF_INET;
    relay.sin_port = htons(static_cast<u_short>(RelayPort(port)));
    if (port < 0 || port > 65535 || !winsock.ok() ||
        !qv::parse_dotted_ipv4(address, relay.sin_addr.s_addr)) {
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
    WinsockChannel channel(s.get(), relay);
    return RunRelayProbe(channel, nonce);
}

std::string NoRelayText(const std::string &address, int port, const std::string &why) {
    return "No relay at " + RelayEndpoint(address, port) + ": " + why +
           "; start the service kelvo-relay (Services, \"Kelvo relay\"; or as administrator: sc "
           "start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)";
}

} // namespace kelvo::host
