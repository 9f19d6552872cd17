// A scripted HTTP peer on 127.0.0.1 (port chosen by the system) that plays a
// device's web server for the tests of every module: each request is recorded
// and answered with what a script gives (status, headers, a body in chunks
// with pauses, a truncated answer, silence, an early close). Without a script
// it serves values.xml and setup.xml like a device and can demand Basic
// authorisation. Connections are served one after the other on a thread of
// its own; every wait and send is bounded and ends with the object.
#pragma once

#include "qvnoncopyable.h"
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kelvo::test {

struct HttpRequest {
    std::string raw; // as received: head and body
    std::string method;
    std::string path;
    std::string authorization; // value of the Authorization header, if any
    std::string body;

    // The value of header `name` (case as sent), or "".
    std::string header(const std::string &name) const;
    // Scripts and checks that look at the whole text take the request as one.
    operator const std::string &() const { return raw; }
    friend bool operator==(const HttpRequest &r, const std::string &text) { return r.raw == text; }
    friend std::ostream &operator<<(std::ostream &out, const HttpRequest &r) {
        return out << r.raw;
    }
};

struct HttpReply {
    std::vector<std::string> chunks; // sent one after the other
    int delay_ms = 0;                // pause before each chunk
    int hold_ms = 0;                 // keep the connection open after the last chunk
    bool silent = false;             // read the request, send nothing, hold for hold_ms
                                     // (< 0: until the peer ends) while serving others

    // The whole text at once.
    static HttpReply whole(std::string text);
    // A complete answer: status line, Content-Type text/xml, Content-Length
    // and `extra_head` lines (each ending in "\r\n").
    static HttpReply status(int code, const std::string &body, const std::string &extra_head = "");
    // 401 with a Basic challenge, whatever the credentials.
    static HttpReply unauthorized();
    // Content-Length promises the whole document; half of it comes, then close.
    static HttpReply truncated(const std::string &document);
    // The document in chunked transfer coding, as HTTP/1.1 servers send it.
    static HttpReply chunked(const std::string &document);
    // `text` one byte every `ms`, after its first `at_once` bytes in one go.
    static HttpReply trickle(const std::string &text, int ms, std::size_t at_once = 0);
    // Accepts, reads and never answers.
    static HttpReply silence(int hold_ms = -1);
};

// "HTTP/1.0 <code> <reason>" with Content-Type text/xml, Content-Length and
// `extra_head`, then the body.
std::string http_reply(int code, const std::string &body, const std::string &extra_head = "");
std::string base64(const std::string &data);

class HttpPeer {
public:
    using Script = std::function<HttpReply(const HttpRequest &request, int index)>;

    // A device: GET /values.xml, GET and POST /setup.xml (answered with the
    // setup document), 404 otherwise.
    HttpPeer();
    explicit HttpPeer(Script script);
    // Every request gets `reply`.
    explicit HttpPeer(HttpReply reply);
    ~HttpPeer();
    HttpPeer(const HttpPeer &) = delete;
    HttpPeer &operator=(const HttpPeer &) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:PORT"
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

    // The device's documents and credentials; an empty user takes the demand back.
    void set_values(const std::string &xml);
    void set_setup(const std::string &xml);
    void require_auth(const std::string &user, const std::string &password);
    // The device's answers wait this long.
    void set_delay_ms(int ms) { delay_ms_ = ms; }

    // The requests so far; connections that sent nothing are left out.
    std::vector<HttpRequest> requests() const;
    std::size_t request_count() const;
    bool wait_requests(std::size_t count, int timeout_ms) const;
    int connections() const { return connections_; }
    std::chrono::steady_clock::time_point first_connection() const;

private:
    void run();
    void serve(int fd);
    HttpReply device_reply(const HttpRequest &request);
    bool pause(int ms) const;
    bool send_all(int fd, const std::string &text) const;

    Script script_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> delay_ms_{0};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<HttpRequest> requests_;
    std::chrono::steady_clock::time_point first_{};
    std::string values_, setup_, auth_;
    // Silent connections and when to let them go.
    std::vector<std::pair<int, std::chrono::steady_clock::time_point>> held_;
    std::thread thread_;
};

// A listener whose accept queue is full, so that a connect to it stays
// unanswered.
class StalledListener : qv::noncopyable {
public:
    StalledListener();
    ~StalledListener();
    int port() const { return port_; }
    bool stalled() const { return stalled_; }

private:
    int listener_ = -1;
    int port_ = 0;
    bool stalled_ = false;
    std::vector<int> fillers_;
};

// A loopback port on which nothing listens.
int free_port();

} // namespace kelvo::test
