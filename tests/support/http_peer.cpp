#include "http_peer.h"

#include "qvtext.h"
#include "test_sockets.h"

#include <cstdio>
#include <cstdlib>

namespace kelvo::test {

using Clock = std::chrono::steady_clock;

namespace {

int loopback_listener(int backlog, int *port) {
    const int fd = open_socket(SOCK_STREAM);
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
        close_socket(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

std::string header_of(const std::string &head, const std::string &name) {
    const std::string key = "\r\n" + name + ":";
    const size_t at = head.find(key);
    if (at == std::string::npos) {
        return {};
    }
    size_t start = at + key.size();
    while (start < head.size() && head[start] == ' ') {
        ++start;
    }
    const size_t end = head.find("\r\n", start);
    return head.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

HttpRequest parse_request(std::string raw) {
    HttpRequest r;
    r.raw = std::move(raw);
    const size_t head_end = r.raw.find("\r\n\r\n");
    const std::string head = r.raw.substr(0, head_end);
    const size_t sp1 = head.find(' ');
    const size_t sp2 = head.find(' ', sp1 == std::string::npos ? sp1 : sp1 + 1);
    r.method = head.substr(0, sp1);
    if (sp1 != std::string::npos) {
        r.path = head.substr(sp1 + 1, sp2 == std::string::npos ? sp2 : sp2 - sp1 - 1);
    }
    r.authorization = header_of(head, "Authorization");
    if (head_end != std::string::npos) {
        r.body = r.raw.substr(head_end + 4);
    }
    return r;
}

} // namespace

std::string HttpRequest::header(const std::string &name) const {
    return header_of(raw.substr(0, raw.find("\r\n\r\n")), name);
}

HttpReply HttpReply::whole(std::string text) {
    HttpReply r;
    r.chunks.push_back(std::move(text));
    return r;
}

HttpReply HttpReply::status(int code, const std::string &body, const std::string &extra_head) {
    return whole(http_reply(code, body, extra_head));
}

HttpReply HttpReply::unauthorized() {
    return whole("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"lab\"\r\n\r\n");
}

HttpReply HttpReply::truncated(const std::string &document) {
    const std::string full = http_reply(200, document);
    return whole(full.substr(0, full.size() - document.size() + document.size() / 2));
}

HttpReply HttpReply::chunked(const std::string &document) {
    char size[24];
    std::snprintf(size, sizeof size, "%zx", document.size());
    return whole("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n" +
                 std::string(size) + "\r\n" + document + "\r\n0\r\n\r\n");
}

HttpReply HttpReply::trickle(const std::string &text, int ms, std::size_t at_once) {
    HttpReply r;
    r.delay_ms = ms;
    at_once = at_once < text.size() ? at_once : text.size();
    if (at_once > 0) {
        r.chunks.push_back(text.substr(0, at_once));
    }
    for (size_t i = at_once; i < text.size(); ++i) {
        r.chunks.push_back(text.substr(i, 1));
    }
    return r;
}

HttpReply HttpReply::silence(int hold_ms) {
    HttpReply r;
    r.silent = true;
    r.hold_ms = hold_ms;
    return r;
}

std::string http_reply(int code, const std::string &body, const std::string &extra_head) {
    return "HTTP/1.0 " + std::to_string(code) + " " + qv::http_reason(code) +
           "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           extra_head + "\r\n" + body;
}

std::string base64(const std::string &data) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < data.size(); i += 3) {
        const size_t left = data.size() - i;
        uint32_t v = static_cast<uint8_t>(data[i]) << 16;
        if (left > 1) {
            v |= static_cast<uint8_t>(data[i + 1]) << 8;
        }
        if (left > 2) {
            v |= static_cast<uint8_t>(data[i + 2]);
        }
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += left > 1 ? alphabet[(v >> 6) & 63] : '=';
        out += left > 2 ? alphabet[v & 63] : '=';
    }
    return out;
}

HttpPeer::HttpPeer() : HttpPeer(Script()) {}

HttpPeer::HttpPeer(HttpReply reply)
    : HttpPeer([reply](const HttpRequest &, int) { return reply; }) {}

HttpPeer::HttpPeer(Script script) : script_(std::move(script)) {
    int port = 0;
    listener_ = loopback_listener(64, &port);
    port_ = static_cast<std::uint16_t>(port);
    if (listener_ >= 0) {
        thread_ = std::thread([this] { run(); });
    }
}

HttpPeer::~HttpPeer() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    for (const auto &held : held_) {
        close_socket(held.first);
    }
    if (listener_ >= 0) {
        close_socket(listener_);
    }
}

void HttpPeer::set_values(const std::string &xml) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_ = xml;
}

void HttpPeer::set_setup(const std::string &xml) {
    std::lock_guard<std::mutex> lock(mutex_);
    setup_ = xml;
}

void HttpPeer::require_auth(const std::string &user, const std::string &password) {
    std::lock_guard<std::mutex> lock(mutex_);
    auth_ = user.empty() ? std::string() : "Basic " + base64(user + ":" + password);
}

std::vector<HttpRequest> HttpPeer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t HttpPeer::request_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

bool HttpPeer::wait_requests(std::size_t count, int timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return requests_.size() >= count; });
}

Clock::time_point HttpPeer::first_connection() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_;
}

bool HttpPeer::pause(int ms) const {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop_ && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms < 10 ? ms : 10));
    }
    return !stop_;
}

bool HttpPeer::send_all(int fd, const std::string &text) const {
    // A client that stops reading holds a send up for 10 s at most.
    const auto until = Clock::now() + std::chrono::seconds(10);
    size_t sent = 0;
    while (sent < text.size() && !stop_ && Clock::now() < until) {
        if (wait_socket(fd, POLLOUT, 50) <= 0) {
            continue;
        }
        const auto n =
            ::send(fd, text.data() + sent, static_cast<int>(text.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return sent == text.size();
}

void HttpPeer::run() {
    while (!stop_) {
        const auto now = Clock::now();
        for (auto it = held_.begin(); it != held_.end();) {
            if (now >= it->second) {
                close_socket(it->first);
                it = held_.erase(it);
            } else {
                ++it;
            }
        }
        if (wait_socket(listener_, POLLIN, 50) <= 0) {
            continue;
        }
        const int fd = static_cast<int>(::accept(listener_, nullptr, nullptr));
        if (fd < 0) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (connections_ == 0) {
                first_ = Clock::now();
            }
        }
        ++connections_;
        serve(fd);
    }
}

void HttpPeer::serve(int fd) {
    // The request head and, by its Content-Length, the body: bounded in size
    // and time.
    std::string raw;
    size_t wanted = std::string::npos;
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (!stop_ && Clock::now() < until && raw.size() < 100000 && raw.size() < wanted) {
        if (wait_socket(fd, POLLIN, 50) <= 0) {
            continue;
        }
        char buffer[4096];
        const auto n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        raw.append(buffer, static_cast<size_t>(n));
        const size_t head_end = raw.find("\r\n\r\n");
        if (wanted == std::string::npos && head_end != std::string::npos) {
            const std::string length = header_of(raw.substr(0, head_end), "Content-Length");
            wanted = head_end + 4 + std::strtoul(length.c_str(), nullptr, 10);
        }
    }
    HttpRequest request = parse_request(std::move(raw));
    int index = 0;
    if (!request.raw.empty()) { // a client may open a spare connection it never uses
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        index = static_cast<int>(requests_.size()) - 1;
    }
    changed_.notify_all();
    const HttpReply reply = script_ ? script_(request, index) : device_reply(request);
    if (reply.silent) {
        const auto hold =
            reply.hold_ms < 0 ? std::chrono::hours(24) : std::chrono::milliseconds(reply.hold_ms);
        held_.emplace_back(fd, Clock::now() + hold);
        return;
    }
    for (const std::string &chunk : reply.chunks) {
        if (!pause(reply.delay_ms) || !send_all(fd, chunk)) {
            break;
        }
    }
    pause(reply.hold_ms);
    close_socket(fd);
}

HttpReply HttpPeer::device_reply(const HttpRequest &request) {
    HttpReply reply;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (request.path == "/setup.xml" && !auth_.empty() && request.authorization != auth_) {
            reply = HttpReply::status(401, "");
        } else if (request.path == "/values.xml" && request.method == "GET") {
            reply = HttpReply::status(200, values_);
        } else if (request.path == "/setup.xml") {
            reply = HttpReply::status(200, setup_);
        } else {
            reply = HttpReply::status(404, "");
        }
    }
    reply.delay_ms = delay_ms_;
    return reply;
}

StalledListener::StalledListener() {
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
        const int fd = open_socket(SOCK_STREAM);
        set_nonblocking(fd);
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            continue;
        }
        if (connect_in_progress() && wait_socket(fd, POLLOUT, 300) == 0) {
            stalled_ = true;
        }
    }
}

StalledListener::~StalledListener() {
    for (const int fd : fillers_) {
        close_socket(fd);
    }
    if (listener_ >= 0) {
        close_socket(listener_);
    }
}

int free_port() {
    int port = 0;
    const int fd = loopback_listener(1, &port);
    if (fd >= 0) {
        close_socket(fd);
    }
    return port;
}

} // namespace kelvo::test
