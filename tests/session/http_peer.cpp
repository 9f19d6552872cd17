#include "http_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace kelvo::test {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string HeaderValue(const std::string &head, const std::string &name) {
    const std::string key = "\r\n" + name + ":";
    const auto at = head.find(key);
    if (at == std::string::npos)
        return {};
    auto start = at + key.size();
    while (start < head.size() && head[start] == ' ')
        ++start;
    const auto end = head.find("\r\n", start);
    return head.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace

std::string Base64(const std::string &data) {
    std::string out;
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const uint32_t v =
            (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < data.size()) {
        uint32_t v = uint8_t(data[i]) << 16;
        if (i + 1 < data.size())
            v |= uint8_t(data[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < data.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

HttpPeer::HttpPeer() {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 8) != 0)
        throw std::runtime_error("bind/listen");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

HttpPeer::~HttpPeer() {
    stop_ = true;
    thread_.join();
    close(listenFd_);
}

void HttpPeer::setValues(const std::string &xml) {
    std::lock_guard g(lock_);
    values_ = xml;
}

void HttpPeer::setSetup(const std::string &xml) {
    std::lock_guard g(lock_);
    setup_ = xml;
}

void HttpPeer::requireAuth(const std::string &user, const std::string &password) {
    std::lock_guard g(lock_);
    auth_ = user.empty() ? std::string() : "Basic " + Base64(user + ":" + password);
}

std::vector<HttpRequest> HttpPeer::requests() const {
    std::lock_guard g(lock_);
    return requests_;
}

size_t HttpPeer::requestCount() const {
    std::lock_guard g(lock_);
    return requests_.size();
}

void HttpPeer::run() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        const int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0)
            continue;
        serve(fd);
        close(fd);
    }
}

void HttpPeer::serve(int fd) {
    // Read the head, then the body by Content-Length; give up after 3 s.
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    size_t headEnd = std::string::npos;
    size_t want = 0;
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + want)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        data.append(chunk, size_t(n));
        if (headEnd == std::string::npos) {
            headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                const std::string length = HeaderValue(data.substr(0, headEnd), "Content-Length");
                want = length.empty() ? 0 : std::stoul(length);
            }
        }
    }
    if (headEnd == std::string::npos)
        return;
    HttpRequest req;
    const std::string head = data.substr(0, headEnd);
    const auto sp1 = head.find(' ');
    const auto sp2 = head.find(' ', sp1 + 1);
    req.method = head.substr(0, sp1);
    req.path = head.substr(sp1 + 1, sp2 - sp1 - 1);
    req.authorization = HeaderValue(head, "Authorization");
    req.body = data.substr(headEnd + 4);

    std::string status = "200 OK";
    std::string body;
    {
        std::lock_guard g(lock_);
        requests_.push_back(req);
        const bool protectedPath = req.path == "/setup.xml";
        if (protectedPath && !auth_.empty() && req.authorization != auth_) {
            status = "401 Unauthorized";
        } else if (req.path == "/values.xml" && req.method == "GET") {
            body = values_;
        } else if (req.path == "/setup.xml") {
            body = setup_;
        } else {
            status = "404 Not Found";
        }
    }
    for (int waited = 0; waited < delayMs_ && !stop_; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string reply =
        "HTTP/1.0 " + status +
        "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
    size_t sent = 0;
    while (sent < reply.size()) {
        const ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
}

} // namespace kelvo::test
