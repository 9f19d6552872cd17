// The fleet's sockets and its worker loop on a POSIX system.
#include "internal.h"
#include "qvtext.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvo::devsim {

namespace {

constexpr std::size_t kMaxConnections = 4096;

int listen_on(const std::string &ip, std::uint16_t port, std::uint16_t &bound, std::string *error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    qv::parse_dotted_ipv4(ip, sa.sin_addr.s_addr);
    if (bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || listen(fd, 32) != 0) {
        if (error)
            *error = "bind " + ip + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len);
    bound = ntohs(sa.sin_port);
    return fd;
}

} // namespace

bool Fleet::Impl::bind_device(Device &dev, std::string *error) {
    close_device(dev);
    if (!is_loopback_text(dev.cfg.ip))
        return true; // moved off loopback: unreachable from here, like a real device
    if (dev.web()) {
        dev.http_fd = listen_on(dev.cfg.ip, dev.cfg.port, dev.http_port, error);
        if (dev.http_fd < 0)
            return false;
        if (dev.cfg.port == 0) // ephemeral: the device now owns the bound port
            dev.cfg.port = dev.http_port;
    }
    if (dev.terminal()) {
        dev.term_fd = listen_on(dev.cfg.ip, dev.cfg.setup_port, dev.term_port, error);
        if (dev.term_fd < 0) {
            close_device(dev);
            return false;
        }
        if (dev.cfg.setup_port == 0)
            dev.cfg.setup_port = dev.term_port;
    }
    return true;
}

void Fleet::Impl::close_device(Device &dev) {
    if (dev.http_fd >= 0)
        close(dev.http_fd);
    if (dev.term_fd >= 0)
        close(dev.term_fd);
    dev.http_fd = dev.term_fd = -1;
    dev.http_port = dev.term_port = 0;
}

bool Fleet::start(std::string *error) {
    std::lock_guard lock(d->mu);
    if (d->started)
        return true;
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        for (auto &dev : d->devices)
            d->close_device(dev);
        if (d->udp_fd >= 0)
            close(d->udp_fd);
        d->udp_fd = -1;
        for (int &fd : d->wake) {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
        return false;
    };
    if (!is_loopback_text(d->config.udp_address))
        return fail("the fleet listens on loopback addresses only, not " + d->config.udp_address);
    for (const auto &dev : d->devices)
        if (!is_loopback_text(dev.cfg.ip))
            return fail("device " + dev.cfg.mac + ": " + dev.cfg.ip + " is not a loopback address");

    // Two listeners per device; raise the soft limit towards the hard one.
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0) {
        const rlim_t want = 2 * d->devices.size() + 256;
        if (rl.rlim_cur < want) {
            rl.rlim_cur = std::min<rlim_t>(want, rl.rlim_max);
            setrlimit(RLIMIT_NOFILE, &rl);
        }
    }

    if (pipe2(d->wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail(std::string("pipe: ") + std::strerror(errno));

    d->udp_fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (d->udp_fd < 0)
        return fail(std::string("socket: ") + std::strerror(errno));
    // A burst of a thousand replies must not be lost on our own side either.
    const int big = 4 << 20;
    setsockopt(d->udp_fd, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    setsockopt(d->udp_fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(d->config.udp_port);
    qv::parse_dotted_ipv4(d->config.udp_address, sa.sin_addr.s_addr);
    if (bind(d->udp_fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0)
        return fail("bind " + d->config.udp_address + ":" + std::to_string(d->config.udp_port) +
                    ": " + std::strerror(errno));
    socklen_t len = sizeof sa;
    getsockname(d->udp_fd, reinterpret_cast<sockaddr *>(&sa), &len);
    d->udp_port = ntohs(sa.sin_port);

    for (auto &dev : d->devices) {
        std::string why;
        if (!d->bind_device(dev, &why))
            return fail("device " + dev.cfg.mac + ": " + why);
        dev.initial.port = dev.cfg.port;
        dev.initial.setup_port = dev.cfg.setup_port;
    }

    if (!d->config.log_path.empty()) {
        d->log_file = std::fopen(d->config.log_path.c_str(), "a");
        if (!d->log_file)
            return fail("log " + d->config.log_path + ": " + std::strerror(errno));
    }
    d->t0 = Clock::now();
    d->stopping = false;
    d->started = true;
    d->worker = std::thread([impl = d.get()] { impl->run(); });
    return true;
}

void Fleet::stop() {
    {
        std::lock_guard lock(d->mu);
        if (!d->started)
            return;
        d->stopping = true;
        const char b = 1;
        [[maybe_unused]] auto r = write(d->wake[1], &b, 1);
    }
    if (d->worker.joinable())
        d->worker.join();
    std::lock_guard lock(d->mu);
    for (auto &c : d->conns)
        close(c.fd);
    d->conns.clear();
    for (auto &dev : d->devices)
        d->close_device(dev);
    close(d->udp_fd);
    d->udp_fd = -1;
    close(d->wake[0]);
    close(d->wake[1]);
    d->wake[0] = d->wake[1] = -1;
    if (d->log_file)
        std::fclose(d->log_file);
    d->log_file = nullptr;
    d->started = false;
}

void Fleet::Impl::accept_conns(Device &dev, Conn::Kind kind) {
    for (int k = 0; k < 16; ++k) {
        if (conns.size() >= kMaxConnections)
            return;
        const int fd = accept4(kind == Conn::Http ? dev.http_fd : dev.term_fd, nullptr, nullptr,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        Conn c;
        c.kind = kind;
        c.fd = fd;
        c.dev = dev.index;
        c.next_write = Clock::now();
        // A terminal session is a person typing; a web request is a program.
        c.deadline = c.next_write +
                     (kind == Conn::Http ? std::chrono::seconds(10) : std::chrono::seconds(600));
        if (kind == Conn::Terminal)
            term_greet(c);
        conns.push_back(std::move(c));
    }
}

void Fleet::Impl::flush(Conn &c, Clock::time_point now) {
    while (c.out_off < c.out.size() && now >= c.next_write) {
        std::size_t n = c.out.size() - c.out_off;
        if (c.piece_delay_ms > 0)
            n = std::min<std::size_t>(n, 256);
        const ssize_t w = send(c.fd, c.out.data() + c.out_off, n, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                c.dead = true;
            return;
        }
        c.out_off += static_cast<std::size_t>(w);
        if (c.piece_delay_ms > 0)
            c.next_write = now + std::chrono::milliseconds(c.piece_delay_ms);
    }
    if (c.out_off >= c.out.size()) {
        c.out.clear();
        c.out_off = 0;
        if (c.close_when_written) {
            shutdown(c.fd, SHUT_WR);
            c.dead = true;
        }
    }
}

void Fleet::Impl::run() {
    enum Kind { Wake, Udp, HttpListen, TermListen, Connection };
    struct Ref {
        Kind kind;
        std::size_t dev;
        Conn *conn;
    };
    std::vector<pollfd> fds;
    std::vector<Ref> refs;
    std::unique_lock lock(mu);
    while (!stopping) {
        const auto now = Clock::now();
        fds.clear();
        refs.clear();
        fds.push_back({wake[0], POLLIN, 0});
        refs.push_back({Wake, 0, nullptr});
        fds.push_back({udp_fd, POLLIN, 0});
        refs.push_back({Udp, 0, nullptr});
        for (const auto &dev : devices) {
            if (dev.http_fd >= 0) {
                fds.push_back({dev.http_fd, POLLIN, 0});
                refs.push_back({HttpListen, dev.index, nullptr});
            }
            if (dev.term_fd >= 0) {
                fds.push_back({dev.term_fd, POLLIN, 0});
                refs.push_back({TermListen, dev.index, nullptr});
            }
        }
        auto wake_at = now + std::chrono::milliseconds(250);
        for (auto &c : conns) {
            short ev = POLLIN;
            if (c.out_off < c.out.size()) {
                if (now >= c.next_write)
                    ev |= POLLOUT;
                else
                    wake_at = std::min(wake_at, c.next_write);
            }
            wake_at = std::min(wake_at, c.deadline);
            fds.push_back({c.fd, ev, 0});
            refs.push_back({Connection, c.dev, &c});
        }
        for (const auto &g : outgoing)
            wake_at = std::min(wake_at, g.when);
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake_at - now).count();

        lock.unlock();
        const int r = poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(wait, 0)));
        lock.lock();
        if (stopping)
            break;
        const auto after = Clock::now();
        if (r > 0) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!fds[i].revents)
                    continue;
                const Ref &ref = refs[i];
                switch (ref.kind) {
                case Wake: {
                    char buf[64];
                    while (read(wake[0], buf, sizeof buf) > 0) {
                    }
                    break;
                }
                case Udp:
                    udp_input();
                    break;
                case HttpListen:
                    if (devices[ref.dev].http_fd == fds[i].fd)
                        accept_conns(devices[ref.dev], Conn::Http);
                    break;
                case TermListen:
                    if (devices[ref.dev].term_fd == fds[i].fd)
                        accept_conns(devices[ref.dev], Conn::Terminal);
                    break;
                case Connection: {
                    Conn &c = *ref.conn;
                    if (c.dead)
                        break;
                    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                        char buf[4096];
                        const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
                        if (n > 0) {
                            c.in.append(buf, static_cast<std::size_t>(n));
                            if (c.kind == Conn::Http)
                                http_input(c);
                            else
                                term_input(c);
                        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                            c.dead = true;
                        }
                    }
                    if (!c.dead && (fds[i].revents & POLLOUT))
                        flush(c, after);
                    break;
                }
                }
            }
        }
        send_due_datagrams(after);
        for (auto &c : conns) {
            if (c.dead)
                continue;
            if (c.out_off < c.out.size() && after >= c.next_write)
                flush(c, after);
            if (after >= c.deadline)
                c.dead = true;
        }
        for (auto it = conns.begin(); it != conns.end();) {
            if (it->dead) {
                close(it->fd);
                it = conns.erase(it);
            } else {
                ++it;
            }
        }
    }
}

void Fleet::Impl::udp_input() {
    // Bounded per wake-up so a flood cannot starve the HTTP side.
    for (int round = 0; round < 256; ++round) {
        std::uint8_t buf[2048];
        sockaddr_in from{};
        socklen_t flen = sizeof from;
        const ssize_t n =
            recvfrom(udp_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen);
        if (n < 0)
            return;
        handle_datagram(buf, static_cast<std::size_t>(n), from);
    }
}

void Fleet::Impl::send_due_datagrams(Clock::time_point now) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < outgoing.size(); ++i) {
        Datagram &g = outgoing[i];
        if (g.when <= now) {
            const ssize_t r = sendto(udp_fd, g.bytes.data(), g.bytes.size(), 0,
                                     reinterpret_cast<const sockaddr *>(&g.to), sizeof g.to);
            if (r >= 0 || (errno != EAGAIN && errno != ENOBUFS))
                continue; // sent, or lost like any datagram
        }
        if (kept != i)
            outgoing[kept] = std::move(g);
        ++kept;
    }
    outgoing.resize(kept);
}

} // namespace kelvo::devsim
