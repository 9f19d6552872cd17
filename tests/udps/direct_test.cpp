// Direct mode broadcasts on every up adapter, so it runs only inside a network
// namespace that the test creates (and removes); without root it is skipped.
#include "peers.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace kelvo::test;
using namespace std::chrono_literals;

class Namespace {
public:
    Namespace() : name_("udps-test-" + std::to_string(::getpid())) {}
    ~Namespace() { leave(); }

    // Creates the namespace with a veth pair and a default route, and moves
    // the calling thread into it. False when that is not possible here.
    bool enter() {
        if (::geteuid() != 0 || !run("ip netns add " + name_))
            return false;
        created_ = true;
        const std::string n = "ip -n " + name_ + " ";
        if (!run(n + "link set lo up") || !run(n + "link add v0 type veth peer name v1") ||
            !run(n + "addr add 10.231.0.1/24 dev v0") ||
            !run(n + "addr add 10.231.0.2/24 dev v1") || !run(n + "link set v0 up") ||
            !run(n + "link set v1 up") || !run(n + "route add default dev v0"))
            return false;
        home_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int ns = ::open(("/var/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
        const bool ok = home_ >= 0 && ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0;
        if (ns >= 0)
            ::close(ns);
        inside_ = ok;
        return ok;
    }

    void leave() {
        if (inside_)
            ::setns(home_, CLONE_NEWNET);
        inside_ = false;
        if (home_ >= 0)
            ::close(home_);
        home_ = -1;
        if (created_)
            run("ip netns del " + name_);
        created_ = false;
    }

private:
    static bool run(const std::string &cmd) {
        return std::system((cmd + " 2>/dev/null").c_str()) == 0;
    }
    std::string name_;
    int home_ = -1;
    bool created_ = false;
    bool inside_ = false;
};

// A device on UDP port 9999 inside the namespace: answers each search
// request with its reply (and, when asked, a second device 1.5 s later),
// and keeps every datagram it hears.
class Device {
public:
    explicit Device(bool late_second) : late_(late_second) {
        sock_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        int on = 1;
        setsockopt(sock_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(qvudps::device_port);
        bound_ = ::bind(sock_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        thread_ = std::thread([this] { run(); });
    }
    ~Device() {
        stop_ = true;
        thread_.join();
        ::close(sock_);
    }
    bool bound() const { return bound_; }
    std::vector<Datagram> heard() {
        std::lock_guard lk(m_);
        return heard_;
    }

private:
    void run() {
        uint8_t buf[1024];
        int answered = 0;
        while (!stop_) {
            pollfd p{sock_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t flen = sizeof from;
            const ssize_t n =
                ::recvfrom(sock_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen);
            if (n <= 0)
                continue;
            {
                std::lock_guard lk(m_);
                heard_.push_back({Bytes(buf, buf + n), ntohs(from.sin_port), {}});
            }
            if (!qvudps::is_search_request(buf, static_cast<size_t>(n)) || answered++ > 0)
                continue; // one answer per test run, whatever the copies
            const Bytes r = reply_of(make_device(1, 2, "10.231.0.50", 80));
            ::sendto(sock_, r.data(), r.size(), 0, reinterpret_cast<sockaddr *>(&from), flen);
            if (late_) {
                std::this_thread::sleep_for(1500ms);
                const Bytes r2 = reply_of(make_device(2, 2, "10.231.0.51", 80));
                ::sendto(sock_, r2.data(), r2.size(), 0, reinterpret_cast<sockaddr *>(&from), flen);
            }
        }
    }
    int sock_ = -1;
    bool bound_ = false;
    bool late_;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::vector<Datagram> heard_;
    std::thread thread_;
};

TEST(DirectMode, BroadcastSearchAndSetupInsideANamespace) {
    Namespace ns;
    if (!ns.enter())
        GTEST_SKIP() << "needs root and ip netns";
    std::vector<qvudps_module> found;
    std::vector<Datagram> heard;
    {
        Device device(true);
        ASSERT_TRUE(device.bound());
        restart_library(); // the worker starts inside the namespace
        ASSERT_EQ(qvudps_set_proxy(nullptr, 0, nullptr), 0);

        ASSERT_EQ(qvudps_search(0, nullptr), 0);
        ASSERT_TRUE(wait_search(20s));
        found = all_records();
        ASSERT_EQ(found.size(), 1u) << "the reply 1.5 s later falls after the 1 s quiet period";
        EXPECT_STREQ(found[0].ip, "10.231.0.50");

        qvudps_module req = found[0];
        std::strcpy(req.ip, "10.231.0.60");
        ASSERT_EQ(qvudps_setup(&req, 0, nullptr), 0);
        ASSERT_TRUE(wait_setup(20s));
        heard = device.heard();
        qvudps_uninit();
    }
    ns.leave();

    ASSERT_GE(heard.size(), 2u);
    EXPECT_TRUE(qvudps::is_search_request(heard.front().bytes.data(), heard.front().bytes.size()));
    EXPECT_EQ(heard.front().source_port, 9998) << "9999 is taken by the device, so the next lower";
    const Datagram &setup = heard.back();
    ASSERT_EQ(setup.bytes.size(), 48u) << "no relay header in direct mode";
    qvudps::SetupMessage s;
    ASSERT_TRUE(qvudps::decode_setup(setup.bytes.data(), setup.bytes.size(), s));
    EXPECT_STREQ(s.ip, "10.231.0.60");
    EXPECT_STREQ(s.mac_text, found[0].mac);
}

} // namespace
