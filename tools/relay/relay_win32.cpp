// The relay's socket calls on Windows.
#include "relay_net.h"

#include <mswsock.h>

#include <algorithm>
#include <cstring>

#ifndef WSA_FLAG_NO_HANDLE_INHERIT
#define WSA_FLAG_NO_HANDLE_INHERIT 0x80
#endif
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kelvo::relay {

namespace net {

namespace {

constexpr int kSocketBuffer = 4 << 20;

// WSARecvMsg is reached only through its extension pointer.
LPFN_WSARECVMSG recv_msg(Socket s) {
    static LPFN_WSARECVMSG fn = [s] {
        GUID id = WSAID_WSARECVMSG;
        LPFN_WSARECVMSG f = nullptr;
        DWORD bytes = 0;
        return WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &f, sizeof f, &bytes,
                        nullptr, nullptr) == 0
                   ? f
                   : nullptr;
    }();
    return fn;
}

// One event for every socket of the thread: after a wake-up every socket is
// read until it has nothing left, so which one woke it does not matter.
struct SocketEvent {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~SocketEvent() {
        if (handle)
            CloseHandle(handle);
    }
};

} // namespace

std::string error_text() {
    const DWORD code = GetLastError();
    char *text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string out = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out;
}

Socket open_udp() {
    if (qv_socket_startup() != 0)
        return invalid;
    Socket s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == invalid)
        return invalid;
    // A client that closed its socket makes the next receive fail with
    // WSAECONNRESET instead of waiting for the next datagram.
    BOOL off = FALSE;
    DWORD bytes = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &bytes, nullptr, nullptr);
    if (qv_socket_nonblock(s) != 0) {
        const int error = WSAGetLastError();
        closesocket(s);
        WSASetLastError(error);
        return invalid;
    }
    return s;
}

void close(Socket s) {
    closesocket(s);
}

bool bind_to(Socket s, const sockaddr_in &address) {
    // Nobody else binds the address beside it, not even with SO_REUSEADDR.
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&on), sizeof on);
    return bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

bool prepare_listening(Socket s, sockaddr_in &sa, std::string *error) {
    int type = 0;
    int tlen = sizeof type;
    int len = sizeof sa;
    if (getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char *>(&type), &tlen) != 0 ||
        type != SOCK_DGRAM || getsockname(s, reinterpret_cast<sockaddr *>(&sa), &len) != 0 ||
        sa.sin_family != AF_INET || sa.sin_port == 0) {
        if (error)
            *error = "the listening socket is not a bound IPv4 datagram socket";
        return false;
    }
    const DWORD one = 1;
    if (qv_socket_nonblock(s) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char *>(&one), sizeof one) !=
            0) {
        if (error)
            *error = "cannot set up the listening socket: " + error_text();
        return false;
    }
    return true;
}

void enlarge_buffers(Socket s) {
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&kSocketBuffer),
               sizeof kSocketBuffer);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char *>(&kSocketBuffer),
               sizeof kSocketBuffer);
}

void enable_broadcast(Socket s) {
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on), sizeof on);
}

void report_interface(Socket s) {
    const DWORD one = 1;
    setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char *>(&one), sizeof one);
}

long receive(Socket s, std::uint8_t *buf, std::size_t cap, sockaddr_in &from, int &ifindex,
             in_addr *to) {
    ifindex = 0;
    if (to)
        to->s_addr = 0;
    const auto size = static_cast<ULONG>(std::min<std::size_t>(cap, 65536));
    const LPFN_WSARECVMSG receive_message = recv_msg(s);
    if (receive_message == nullptr) {
        int len = sizeof from;
        const int n = recvfrom(s, reinterpret_cast<char *>(buf), static_cast<int>(size), 0,
                               reinterpret_cast<sockaddr *>(&from), &len);
        // A datagram longer than the buffer is cut, as on POSIX.
        return n >= 0 ? n : WSAGetLastError() == WSAEMSGSIZE ? static_cast<long>(size) : -1;
    }
    char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSABUF data{size, reinterpret_cast<char *>(buf)};
    WSAMSG msg{};
    msg.name = reinterpret_cast<sockaddr *>(&from);
    msg.namelen = sizeof from;
    msg.lpBuffers = &data;
    msg.dwBufferCount = 1;
    msg.Control = {sizeof control, control};
    DWORD n = 0;
    if (receive_message(s, &msg, &n, nullptr, nullptr) != 0) {
        if (WSAGetLastError() != WSAEMSGSIZE)
            return -1;
        n = size;
    }
    for (WSACMSGHDR *c = WSA_CMSG_FIRSTHDR(&msg); c; c = WSA_CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            IN_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            ifindex = static_cast<int>(info.ipi_ifindex);
            if (to)
                *to = info.ipi_addr;
        }
    return static_cast<long>(n);
}

bool send_to(Socket s, const void *data, std::size_t len, const sockaddr_in &to) {
    return sendto(s, static_cast<const char *>(data), static_cast<int>(len), 0,
                  reinterpret_cast<const sockaddr *>(&to), sizeof to) >= 0;
}

std::vector<int> loopback_interfaces() {
    // Windows names its loopback interface's index by no call outside the
    // IP helper; a datagram to ourselves tells it.
    std::vector<int> out;
    const Socket a = open_udp(), b = open_udp();
    sockaddr_in lo{};
    lo.sin_family = AF_INET;
    lo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof lo;
    if (a != invalid && b != invalid && bind_to(b, lo) &&
        getsockname(b, reinterpret_cast<sockaddr *>(&lo), &len) == 0) {
        report_interface(b);
        const char probe = 0;
        if (send_to(a, &probe, 1, lo)) {
            std::vector<char> readable;
            for (int tries = 0; tries < 10 && out.empty(); ++tries) {
                std::uint8_t got[8];
                sockaddr_in from{};
                int index = 0;
                if (receive(b, got, sizeof got, from, index) == 1 && index > 0)
                    out.push_back(index);
                else
                    Sleep(10);
            }
        }
    }
    if (a != invalid)
        closesocket(a);
    if (b != invalid)
        closesocket(b);
    return out;
}

std::string interface_name(int) {
    // The adapters are named by the GUIDs of their list, which has no index
    // here: a setup then goes out on every adapter.
    return {};
}

int wait(StopHandle stop, const std::vector<Socket> &sockets, int timeout_ms,
         std::vector<char> &readable, std::string *error) {
    thread_local SocketEvent event;
    readable.assign(sockets.size(), 0);
    if (event.handle == nullptr) {
        if (error)
            *error = "cannot create an event: " + error_text();
        return -1;
    }
    // Associating again signals the event at once when data is waiting.
    for (const Socket s : sockets)
        if (WSAEventSelect(s, event.handle, FD_READ) != 0) {
            if (error)
                *error = "WSAEventSelect: " + error_text();
            return -1;
        }
    const HANDLE handles[2] = {stop, event.handle};
    const DWORD r = WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(timeout_ms));
    if (r == WAIT_OBJECT_0)
        return 1;
    if (r == WAIT_OBJECT_0 + 1) {
        // Reset before reading: what arrives from now on signals it again.
        ResetEvent(event.handle);
        readable.assign(sockets.size(), 1);
        return 0;
    }
    if (r == WAIT_TIMEOUT)
        return 0;
    if (error)
        *error = "WaitForMultipleObjects: " + error_text();
    return -1;
}

} // namespace net

int inherited_socket(std::string *) {
    return -1;
}

} // namespace kelvo::relay
