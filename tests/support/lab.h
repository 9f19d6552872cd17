// The device lab of the tests: the simulated fleet behind a real kelvo-relay,
// child processes, loopback UDP and HTTP clients. Everything talks to
// 127.0.0.0/8 only and every wait is bounded.
#pragma once

#include "devsim.h"
#include "qvtext.h"
#include "wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern char **environ;

namespace kelvo::test {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

inline sockaddr_in endpoint(const std::string &ip, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    qv::parse_dotted_ipv4(ip, sa.sin_addr.s_addr);
    return sa;
}

// A child process whose stdout is read line by line; ended with SIGTERM.
class Process {
public:
    explicit Process(std::vector<std::string> argv) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        std::vector<char *> args;
        for (auto &a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        // A bare program name is looked up in PATH.
        const bool bare = argv[0].find('/') == std::string::npos;
        if ((bare ? posix_spawnp : posix_spawn)(&pid_, args[0], &fa, nullptr, args.data(),
                                                environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        fd_ = out[0];
    }
    ~Process() { stop(); }
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool running() const { return pid_ > 0; }

    // Next line of stdout, or "" after `timeout`.
    std::string line(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto until = Clock::now() + timeout;
        for (;;) {
            const auto nl = buf_.find('\n');
            if (nl != std::string::npos) {
                std::string l = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return l;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0 || fd_ < 0)
                return std::string();
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char b[4096];
            const ssize_t n = read(fd_, b, sizeof b);
            if (n <= 0)
                return std::string();
            buf_.append(b, static_cast<std::size_t>(n));
        }
    }

    // SIGTERM, then waits (at most 5 s, then SIGKILL). Returns the exit status.
    int stop() {
        if (pid_ <= 0)
            return status_;
        kill(pid_, SIGTERM);
        const auto until = Clock::now() + std::chrono::seconds(5);
        int st = 0;
        while (waitpid(pid_, &st, WNOHANG) == 0) {
            if (Clock::now() > until) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &st, 0);
                break;
            }
            usleep(10000);
        }
        pid_ = -1;
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    int status_ = -1;
    std::string buf_;
};

// The port after the last ':' of the first word that has one, e.g. from
// "kelvo-relay listening 127.0.0.1:40000".
inline std::uint16_t port_in(const std::string &line) {
    const auto colon = line.find(':', line.find("127."));
    if (colon == std::string::npos)
        return 0;
    return static_cast<std::uint16_t>(std::stoul(line.substr(colon + 1)));
}

// A UDP socket on 127.0.0.1 with an ephemeral port.
class Udp {
public:
    explicit Udp(const std::string &ip = "127.0.0.1", std::uint16_t port = 0) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int big = 4 << 20;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
        sockaddr_in sa = endpoint(ip, port);
        bind(fd_, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr *>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~Udp() { close(fd_); }
    Udp(const Udp &) = delete;
    Udp &operator=(const Udp &) = delete;

    std::uint16_t port() const { return port_; }
    int fd() const { return fd_; }

    bool send_to(const sockaddr_in &to, const Bytes &b) const {
        return sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                      sizeof to) == static_cast<ssize_t>(b.size());
    }

    // One datagram within `timeout`; false when none.
    bool receive(Bytes &out, sockaddr_in *from, std::chrono::milliseconds timeout) const {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        std::uint8_t b[4096];
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        const ssize_t n = recvfrom(fd_, b, sizeof b, 0, reinterpret_cast<sockaddr *>(&sa), &len);
        if (n < 0)
            return false;
        out.assign(b, b + n);
        if (from)
            *from = sa;
        return true;
    }

    // Every datagram until `quiet` passes without one (at most `limit`).
    std::vector<Bytes> collect(std::chrono::milliseconds quiet,
                               std::chrono::milliseconds limit = std::chrono::seconds(20),
                               std::vector<sockaddr_in> *sources = nullptr) const {
        std::vector<Bytes> all;
        const auto until = Clock::now() + limit;
        Bytes b;
        sockaddr_in from{};
        while (Clock::now() < until && receive(b, &from, quiet)) {
            all.push_back(b);
            if (sources)
                sources->push_back(from);
        }
        return all;
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

inline Bytes wrap(std::uint8_t kind, const Bytes &payload, const char *client = "Lab-Test") {
    Bytes out(payload.size() + qvudps::proxy_header_size);
    out.resize(
        qvudps::wrap_proxy(kind, client, payload.data(), payload.size(), out.data(), out.size()));
    return out;
}

inline Bytes search_request() {
    Bytes b(qvudps::request_size);
    qvudps::encode_search_request(b.data());
    return b;
}

// What a stream socket sends until `marker` came (empty: until it closes),
// `quiet` passed without data, or `limit` in all.
inline std::string receive_until(int fd, const std::string &marker, std::chrono::milliseconds quiet,
                                 std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    std::string got;
    const auto until = Clock::now() + limit;
    while (marker.empty() || got.find(marker) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(std::min(quiet, left).count())) <= 0)
            break;
        char b[4096];
        const ssize_t n = recv(fd, b, sizeof b, 0);
        if (n <= 0)
            break;
        got.append(b, static_cast<std::size_t>(n));
    }
    return got;
}

struct HttpAnswer {
    int status = 0; // 0: no answer
    std::string head;
    std::string body;
};

// One HTTP/1.0 exchange; the answer ends when the server closes or after
// `timeout` of silence.
inline HttpAnswer http(const std::string &ip, std::uint16_t port, const std::string &request,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    HttpAnswer a;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = endpoint(ip, port);
    if (connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        close(fd);
        return a;
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const std::string all = receive_until(fd, "", timeout);
    close(fd);
    const auto end = all.find("\r\n\r\n");
    if (all.size() < 12 || end == std::string::npos)
        return a;
    a.head = all.substr(0, end);
    a.body = all.substr(end + 4);
    a.status = std::atoi(all.c_str() + 9);
    return a;
}

inline std::string get(const std::string &path, const std::string &auth_b64 = std::string()) {
    std::string r = "GET " + path + " HTTP/1.0\r\n";
    if (!auth_b64.empty())
        r += "Authorization: Basic " + auth_b64 + "\r\n";
    return r + "\r\n";
}

inline std::string post(const std::string &path, const std::string &body,
                        const std::string &auth_b64 = std::string()) {
    std::string r = "POST " + path + " HTTP/1.0\r\n";
    if (!auth_b64.empty())
        r += "Authorization: Basic " + auth_b64 + "\r\n";
    return r + "Content-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// A fleet on loopback behind a real kelvo-relay process that listens on
// 127.0.0.1 (port chosen by the system). Ready once the relay named its port
// (and a kelvo-devsim process listed its devices); stopped with the object.
class Lab {
public:
    // `devices` simulated in this process on 127.0.0.2, so that a test can
    // look at their state; `relay_args` are added to the relay's, "--devices"
    // of the fleet unless they give "--devices" or "--interface".
    explicit Lab(std::vector<kelvo::devsim::DeviceConfig> devices,
                 std::vector<std::string> relay_args = {});
    // The kelvo-devsim program with `devsim_args` (after "--listen
    // 127.0.0.2:0 --ephemeral") instead.
    static std::unique_ptr<Lab> processes(std::vector<std::string> devsim_args,
                                          std::vector<std::string> relay_args = {});
    ~Lab();
    Lab(const Lab &) = delete;
    Lab &operator=(const Lab &) = delete;

    bool ok() const { return relay_port_ != 0; }
    const std::string &error() const { return error_; }
    std::uint16_t relay_port() const { return relay_port_; }
    // "127.0.0.1:PORT" of the relay.
    std::string relay_endpoint() const { return "127.0.0.1:" + std::to_string(relay_port_); }
    // The fleet's UDP endpoint, "127.0.0.2:PORT".
    std::string fleet_endpoint() const { return "127.0.0.2:" + std::to_string(fleet_port_); }
    // The simulated devices (in-process lab only).
    kelvo::devsim::Fleet &fleet() { return *fleet_; }
    const kelvo::devsim::Fleet &fleet() const { return *fleet_; }
    // kelvo-devsim's lines about its devices, one per device (process lab only).
    const std::vector<std::string> &device_lines() const { return device_lines_; }
    // Ends the relay; its port is free afterwards. Returns its exit status.
    int stop_relay();
    // Ends kelvo-devsim (process lab only). Returns its exit status.
    int stop_devsim();

private:
    Lab() = default;
    void start_relay(std::vector<std::string> relay_args);

    std::unique_ptr<kelvo::devsim::Fleet> fleet_;
    std::unique_ptr<Process> devsim_;
    std::unique_ptr<Process> relay_;
    std::uint16_t fleet_port_ = 0;
    std::uint16_t relay_port_ = 0;
    std::vector<std::string> device_lines_;
    std::string error_;
};

} // namespace kelvo::test
