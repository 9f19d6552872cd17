// A scripted HTTP/1.0 device on 127.0.0.1 (ephemeral port) for the session
// tests: serves values.xml and setup.xml, takes POST /setup.xml, can demand
// Basic authorisation and delay its answers. One connection at a time on a
// thread of its own; every request is recorded.
#ifndef KELVO_TESTS_SESSION_HTTP_PEER_H
#define KELVO_TESTS_SESSION_HTTP_PEER_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvo::test {

struct HttpRequest {
    std::string method;
    std::string path;
    std::string authorization; // value of the Authorization header, if any
    std::string body;
};

class HttpPeer {
public:
    HttpPeer();
    ~HttpPeer();
    HttpPeer(const HttpPeer &) = delete;
    HttpPeer &operator=(const HttpPeer &) = delete;

    uint16_t port() const { return port_; }

    // Documents served; the POST answer is the setup document.
    void setValues(const std::string &xml);
    void setSetup(const std::string &xml);
    // Non-empty: GET/POST /setup.xml need "Basic base64(user:password)".
    void requireAuth(const std::string &user, const std::string &password);
    // Answers wait this long (bounded by the peer's own stop).
    void setDelayMs(int ms) { delayMs_ = ms; }

    std::vector<HttpRequest> requests() const;
    size_t requestCount() const;

private:
    void run();
    void serve(int fd);

    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> delayMs_{0};
    mutable std::mutex lock_;
    std::string values_;
    std::string setup_;
    std::string auth_;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

std::string Base64(const std::string &data);

} // namespace kelvo::test

#endif
