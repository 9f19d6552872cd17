// A web server on 127.0.0.1 (port chosen by the system) that answers every
// request with one chosen misbehaviour, for the transfer tests. It serves at
// most a few dozen connections and stops with the object.
#ifndef KELVO_CLI_TESTS_HOSTILE_HTTP_H
#define KELVO_CLI_TESTS_HOSTILE_HTTP_H

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace clitest {

class HostileHttp {
public:
    enum Mode {
        Truncated,    // Content-Length promises more than is sent, then close
        Chunked,      // chunked transfer coding, as HTTP/1.1 servers do
        Trickle,      // the document one byte every 100 ms
        Unauthorized, // 401 whatever the credentials
        Malformed,    // a complete answer whose document breaks off
    };

    HostileHttp(Mode mode_, std::string document_) : mode(mode_), document(std::move(document_)) {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 ||
            listen(listener, 16) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr *>(&sa), &len) != 0 ||
            pipe2(stop, O_CLOEXEC) != 0)
            return;
        port = ntohs(sa.sin_port);
        thread = std::thread([this] { serve(); });
    }

    ~HostileHttp() {
        if (thread.joinable()) {
            [[maybe_unused]] auto n = write(stop[1], "x", 1);
            thread.join();
        }
        for (int fd : {listener, stop[0], stop[1]})
            if (fd >= 0)
                close(fd);
    }

    // "127.0.0.1:PORT"
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port); }

    // The requests received so far (connections that sent nothing left out).
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }

    int port = 0;

private:
    // Waits for `fd` (or the stop pipe) up to `ms`; true when `fd` is ready.
    bool wait(int fd, short events, int ms) const {
        pollfd p[2] = {{fd, events, 0}, {stop[0], POLLIN, 0}};
        return poll(p, 2, ms) > 0 && !(p[1].revents & POLLIN) && p[0].revents;
    }

    // True once the object is being destroyed; waits up to `ms` for it.
    bool stopping(int ms) const {
        pollfd p = {stop[0], POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }

    void send(int fd, const std::string &text) const {
        for (size_t at = 0; at < text.size() && wait(fd, POLLOUT, 5000);) {
            const ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            at += static_cast<size_t>(n);
        }
    }

    void answer(int fd) {
        std::string request;
        char buf[2048];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 &&
               wait(fd, POLLIN, 5000)) {
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, static_cast<size_t>(n));
        }
        if (!request.empty()) { // a client may open a spare connection it never uses
            std::lock_guard<std::mutex> lock(mutex);
            seen.push_back(request);
        }
        const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n";
        switch (mode) {
        case Truncated:
            send(fd, ok + "Content-Length: " + std::to_string(document.size()) + "\r\n\r\n" +
                         document.substr(0, document.size() / 2));
            break;
        case Chunked: {
            char size[16];
            std::snprintf(size, sizeof size, "%zx", document.size());
            send(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: "
                     "chunked\r\n\r\n" +
                         std::string(size) + "\r\n" + document + "\r\n0\r\n\r\n");
            break;
        }
        case Trickle:
            send(fd, ok + "\r\n");
            for (size_t i = 0; i < document.size() && i < 600 && !stopping(100); ++i)
                send(fd, document.substr(i, 1));
            break;
        case Unauthorized:
            send(fd, "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"lab\"\r\n\r\n");
            break;
        case Malformed:
            send(fd, ok + "\r\n" + document.substr(0, document.size() / 2));
            break;
        }
    }

    void serve() {
        // Each connection in turn: the tests make one request at a time.
        for (int served = 0; served < 32 && wait(listener, POLLIN, 60000); ++served) {
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            answer(fd);
            close(fd);
        }
    }

    Mode mode;
    std::string document;
    int listener = -1;
    int stop[2] = {-1, -1};
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<std::string> seen;
};

} // namespace clitest

#endif
