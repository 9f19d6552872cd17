// A scripted HTTP peer on 127.0.0.1 (port 0) for the transport tests: it
// records each request and answers with the chunks a script gives, with
// delays, early close or a connection held open.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace xmltest {

struct peer_reply {
    std::vector<std::string> chunks; // sent one after the other
    int delay_ms = 0;                // pause before each chunk
    int hold_ms = 0;                 // keep the connection open after the last chunk
    bool silent = false;             // send nothing; hold the connection for hold_ms
};

class http_peer {
public:
    using script = std::function<peer_reply(const std::string &request, int index)>;
    explicit http_peer(script s);
    ~http_peer();
    http_peer(const http_peer &) = delete;
    http_peer &operator=(const http_peer &) = delete;

    int port() const { return port_; }
    std::vector<std::string> requests() const;
    // Waits (bounded) until `count` requests were received.
    bool wait_requests(size_t count, int timeout_ms) const;

private:
    void run();
    void serve(int fd);
    bool pause(int ms) const;

    script script_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A reply "HTTP/1.0 <status>" with the usual headers and a body.
std::string http_reply(int status, const std::string &body);
// A listener whose accept queue is full, so that a connect to it stays
// unanswered. The port of a free port that refuses connections is free_port().
class stalled_listener {
public:
    stalled_listener();
    ~stalled_listener();
    stalled_listener(const stalled_listener &) = delete;
    stalled_listener &operator=(const stalled_listener &) = delete;
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

} // namespace xmltest
