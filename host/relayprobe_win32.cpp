#include "hostrelay.h"
#include "qvnoncopyable.h"
#include "relayprobe.h"

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

class Winsock : qv::noncopyable {
public:
    Winsock() : started(WSAStartup(MAKEWORD(2, 2), &wsaData) == 0) {}
    ~Winsock() {
        if (started)
            WSACleanup();
    }
    bool ok() const { return started; }

private:
    WSADATA wsaData{};
    bool started;
};

class WinsockChannel : public ProbeChannel, qv::noncopyable {
public:
    explicit WinsockChannel(const RelayTarget &relay) : relayTarget(relay) {}
    ~WinsockChannel() override {
        if (handle != INVALID_SOCKET)
            closesocket(handle);
    }
    // False when Windows Sockets did not start.
    bool Started() const { return winsock.ok(); }
    SOCKET Open() { return handle = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); }

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
        return FromRelay(relayTarget, from.sin_addr.s_addr, from.sin_port, n, len);
    }

private:
    // Declared first, so Windows Sockets stop only after the socket closed.
    const Winsock winsock;
    RelayTarget relayTarget;
    SOCKET handle = INVALID_SOCKET;
};

} // namespace

std::unique_ptr<ProbeChannel> OpenProbeChannel(const RelayTarget &relay, unsigned char *nonce,
                                               std::string &why) {
    auto channel = std::make_unique<WinsockChannel>(relay);
    if (!channel->Started()) {
        why = "not an IPv4 address and port";
        return nullptr;
    }
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, nonce, kProbeNonceSize, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        why = "cannot ask it: no random nonce";
        return nullptr;
    }
    const SOCKET s = channel->Open();
    if (s == INVALID_SOCKET) {
        why = SocketError("cannot ask it");
        return nullptr;
    }
    const auto to = relay.As<sockaddr_in>(AF_INET);
    // Connected, so the system drops datagrams from any other source and a
    // closed port is reported (WSAECONNRESET) instead of waited for.
    if (connect(s, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        why = SocketError("cannot reach it");
        return nullptr;
    }
    return channel;
}

std::string NoRelayText(const std::string &address, int port, const std::string &why) {
    return "No relay at " + RelayEndpoint(address, port) + ": " + why +
           "; start the service kelvo-relay (Services, \"Kelvo relay\"; or as administrator: sc "
           "start kelvo-relay; where it is not installed, run kelvo-relay.exe in a terminal)";
}

} // namespace kelvo::host
