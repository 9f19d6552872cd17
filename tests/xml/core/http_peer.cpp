#include "http_peer.h"

#include "test_sockets.h"

#include <cerrno>
#include <chrono>

namespace xmltest {
namespace {

int loopback_listener(int backlog, int *port) {
    const int fd = testsock::open_socket(SOCK_STREAM);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        testsock::close_socket(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

long content_length(const std::string &head) {
    const std::string key = "Content-Length: ";
    const size_t at = head.find(key);
    return at == std::string::npos ? 0 : std::strtol(head.c_str() + at + key.size(), nullptr, 10);
}

} // namespace

http_peer::http_peer(script s) : script_(std::move(s)) {
    listener_ = loopback_listener(16, &port_);
    thread_ = std::thread([this] { run(); });
}

http_peer::~http_peer() {
    stop_ = true;
    thread_.join();
    if (listener_ >= 0) {
        testsock::close_socket(listener_);
    }
}

std::vector<std::string> http_peer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool http_peer::wait_requests(size_t count, int timeout_ms) const {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        if (requests().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return requests().size() >= count;
}

bool http_peer::pause(int ms) const {
    for (int waited = 0; waited < ms && !stop_; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !stop_;
}

void http_peer::run() {
    while (!stop_ && listener_ >= 0) {
        if (testsock::wait(listener_, POLLIN, 50) <= 0) {
            continue;
        }
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd >= 0) {
            serve(fd);
            testsock::close_socket(fd);
        }
    }
}

void http_peer::serve(int fd) {
    // Read the request head and, for a POST, its body: bounded in size and time.
    std::string request;
    long wanted = -1;
    for (int rounds = 0; rounds < 100 && !stop_ && request.size() < 100000; ++rounds) {
        const size_t head_end = request.find("\r\n\r\n");
        if (head_end != std::string::npos) {
            if (wanted < 0) {
                wanted =
                    static_cast<long>(head_end + 4) + content_length(request.substr(0, head_end));
            }
            if (static_cast<long>(request.size()) >= wanted) {
                break;
            }
        }
        if (testsock::wait(fd, POLLIN, 50) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        request.append(buffer, static_cast<size_t>(n));
    }
    int index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        index = static_cast<int>(requests_.size()) - 1;
    }
    const peer_reply reply = script_(request, index);
    if (!reply.silent) {
        for (const std::string &chunk : reply.chunks) {
            if (!pause(reply.delay_ms)) {
                return;
            }
            size_t sent = 0;
            for (int tries = 0; sent < chunk.size() && tries < 1000; ++tries) {
                const ssize_t n =
                    ::send(fd, chunk.data() + sent, chunk.size() - sent, MSG_NOSIGNAL);
                if (n < 0 && errno != EINTR && errno != EAGAIN) {
                    return;
                }
                sent += n > 0 ? static_cast<size_t>(n) : 0;
            }
        }
    }
    pause(reply.hold_ms);
}

std::string http_reply(int status, const std::string &body) {
    return "HTTP/1.0 " + std::to_string(status) + " Status\r\nContent-Type: text/xml\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

stalled_listener::stalled_listener() {
    listener_ = loopback_listener(0, &port_);
    if (listener_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    // Fill the accept queue until a further connect stays pending.
    for (int i = 0; i < 8 && !stalled_; ++i) {
        const int fd = testsock::open_socket(SOCK_STREAM);
        testsock::set_nonblocking(fd);
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            continue;
        }
        if (testsock::in_progress() && testsock::wait(fd, POLLOUT, 300) == 0) {
            stalled_ = true;
        }
    }
}

stalled_listener::~stalled_listener() {
    for (const int fd : fillers_) {
        testsock::close_socket(fd);
    }
    if (listener_ >= 0) {
        testsock::close_socket(listener_);
    }
}

int free_port() {
    int port = 0;
    const int fd = loopback_listener(1, &port);
    if (fd >= 0) {
        testsock::close_socket(fd);
    }
    return port;
}

} // namespace xmltest
