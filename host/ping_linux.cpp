// ICMP echo on Linux: an unprivileged ICMP datagram socket where the system
// allows it (net.ipv4.ping_group_range), else a raw socket where the process
// may open one.
#include "hostplatform.h"
#include "uniquefd_posix.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace kelvo::host::platform {

namespace {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kPayload = 32;
constexpr unsigned char kFill = 0xAA;
constexpr unsigned char kEchoReply = 0;
constexpr unsigned char kEchoRequest = 8;
constexpr int kIcmpFilter = 1;          // ICMP_FILTER of <linux/icmp.h>, which clashes with glibc's
constexpr int kMaxPacketsPerWait = 256; // bounds the work a flood of foreign replies can cause

using Clock = std::chrono::steady_clock;
std::atomic<unsigned> g_sequenceBase{0};

std::uint16_t checksum(const unsigned char *data, std::size_t len) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < len; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (len % 2 != 0)
        sum += static_cast<std::uint32_t>(data[len - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

using Socket = UniqueFd;

int openIcmp(IcmpSocket kind, bool &raw) {
    if (kind != IcmpSocket::Raw) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0 || kind == IcmpSocket::Datagram) {
            raw = false;
            return fd;
        }
    }
    raw = true;
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // A raw socket sees every ICMP message of the host; let only echo
        // replies through to keep the wait cheap.
        const std::uint32_t blocked = ~(1u << kEchoReply);
        (void)setsockopt(fd, SOL_RAW, kIcmpFilter, &blocked, sizeof blocked);
    }
    return fd;
}

// Is this datagram the reply to our request? Raw sockets deliver the IP header
// too and every echo reply of the host, so they check source and identifier;
// a datagram socket gets only its own replies, with an identifier the kernel chose.
bool isOurReply(const unsigned char *buf, std::size_t len, bool raw, std::uint32_t address,
                std::uint16_t id, std::uint16_t seq) {
    if (raw) {
        if (len < 20 || (buf[0] >> 4) != 4)
            return false;
        const std::size_t ihl = static_cast<std::size_t>(buf[0] & 0x0F) * 4;
        if (ihl < 20 || len < ihl || std::memcmp(buf + 12, &address, 4) != 0)
            return false;
        buf += ihl;
        len -= ihl;
    }
    // The payload is not compared: a small device that echoes it badly still
    // answers, and answering is all the test wants to know.
    if (len < kHeader || buf[0] != kEchoReply || buf[1] != 0)
        return false;
    if (raw && (buf[4] != (id >> 8) || buf[5] != (id & 0xFF)))
        return false;
    return buf[6] == (seq >> 8) && buf[7] == (seq & 0xFF);
}

enum class Outcome { Reply, NoReply, Failed };

Outcome echoOnce(const Socket &s, bool raw, std::uint32_t address, std::uint16_t id,
                 std::uint16_t seq, int timeoutMs) {
    std::array<unsigned char, kHeader + kPayload> request{};
    request[0] = kEchoRequest;
    request[4] = static_cast<unsigned char>(id >> 8);
    request[5] = static_cast<unsigned char>(id & 0xFF);
    request[6] = static_cast<unsigned char>(seq >> 8);
    request[7] = static_cast<unsigned char>(seq & 0xFF);
    std::memset(request.data() + kHeader, kFill, kPayload);
    const std::uint16_t sum = checksum(request.data(), request.size());
    request[2] = static_cast<unsigned char>(sum >> 8);
    request[3] = static_cast<unsigned char>(sum & 0xFF);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    if (sendto(s.fd(), request.data(), request.size(), 0, reinterpret_cast<const sockaddr *>(&to),
               sizeof to) < 0) {
        // No route there means nobody can answer; anything else (a broadcast
        // address, no permission) means the test cannot be done.
        if (errno == ENETUNREACH || errno == EHOSTUNREACH || errno == EHOSTDOWN)
            return Outcome::NoReply;
        return Outcome::Failed;
    }

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::array<unsigned char, 1500> buf{};
    for (int packets = 0; packets < kMaxPacketsPerWait;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{s.fd(), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left) + 1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        const ssize_t n = recv(s.fd(), buf.data(), buf.size(), MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            // An ICMP error for our request (unreachable and the like): it will
            // not be answered.
            return Outcome::NoReply;
        }
        ++packets;
        if (isOurReply(buf.data(), static_cast<std::size_t>(n), raw, address, id, seq))
            return Outcome::Reply;
    }
    return Outcome::NoReply;
}

} // namespace

int Ping(std::uint32_t address, IcmpSocket kind, int requests, int timeoutMs) {
    bool raw = false;
    const Socket s(openIcmp(kind, raw));
    if (s.fd() < 0)
        return -1;
    const unsigned base = g_sequenceBase.fetch_add(1);
    const auto id = static_cast<std::uint16_t>((static_cast<unsigned>(getpid()) * 31u + base));
    for (int i = 0; i < requests; ++i) {
        const auto seq = static_cast<std::uint16_t>(i + 1);
        switch (echoOnce(s, raw, address, id, seq, timeoutMs)) {
        case Outcome::Reply:
            return 0;
        case Outcome::Failed:
            return -1;
        case Outcome::NoReply:
            break;
        }
    }
    return 1;
}

} // namespace kelvo::host::platform
