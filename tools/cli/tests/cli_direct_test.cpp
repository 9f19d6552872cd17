// "search --direct" broadcasts, so it runs only inside a network namespace
// that this test creates (and removes): the test binary starts itself again
// inside it, where a responder on UDP port 9999 plays one device. Skipped
// without root or without the ip tool.
#include "commands.h"

#include "tea.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

constexpr const char *kInside = "KELVO_CLI_TEST_IN_NETNS";

int Shell(const std::string &command) {
    const int rc = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// The namespace and its one interface, removed again however the test ends.
struct Namespace {
    explicit Namespace(std::string name_) : name(std::move(name_)) {
        created = Shell("ip netns add " + name) == 0;
    }
    ~Namespace() {
        if (created)
            Shell("ip netns del " + name);
    }
    int exec(const std::string &command) const {
        return Shell("ip netns exec " + name + " " + command);
    }
    std::string name;
    bool created = false;
};

// Answers every search request on port 9999 with one signed reply, for at
// most `seconds`.
void Respond(int fd, std::atomic<int> &requests, std::atomic<bool> &stop) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stop && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        std::uint8_t buf[512];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &len);
        if (n <= 0 || !udps::is_search_request(buf, static_cast<std::size_t>(n)))
            continue;
        ++requests;
        qvudps_module m{};
        std::snprintf(m.mac, sizeof m.mac, "02:4B:56:00:00:77");
        std::snprintf(m.ip, sizeof m.ip, "10.231.0.77");
        std::snprintf(m.mask, sizeof m.mask, "255.255.255.0");
        std::snprintf(m.gateway, sizeof m.gateway, "10.231.0.254");
        std::snprintf(m.filter_ip, sizeof m.filter_ip, "0.0.0.0");
        std::snprintf(m.filter_mask, sizeof m.filter_mask, "0.0.0.0");
        m.raw_type = (2 << 3) | 1;
        m.raw_version = 0x42;
        m.raw_flags = 0x04;
        m.port = 80;
        std::uint8_t reply[128];
        const std::size_t size =
            udps::encode_reply(m, udps::builtin_search_key, reply, sizeof reply);
        sendto(fd, reply, size, 0, reinterpret_cast<sockaddr *>(&from), len);
    }
}

} // namespace

TEST(CliDirect, SearchesByBroadcastInsideAPrivateNamespace) {
    if (std::getenv(kInside)) {
        // Inside the namespace: a device on port 9999 makes the library bind
        // the next lower port for its own socket.
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(9999);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
        std::atomic<int> requests{0};
        std::atomic<bool> stop{false};
        std::thread responder(Respond, fd, std::ref(requests), std::ref(stop));
        kelvo::cli::Environment env;
        env.filterFile = "/nonexistent/kelvo-cli.filter";
        std::ostringstream out, err;
        const int rc = kelvo::cli::RunCli({"search", "--direct", "--no-names", "--format", "json"},
                                          out, err, env);
        stop = true;
        responder.join();
        close(fd);
        ASSERT_EQ(rc, 0) << err.str();
        EXPECT_GE(requests, 1); // the request may arrive by both ends of the pair
        const QJsonArray list =
            QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).array();
        ASSERT_EQ(list.size(), 1) << out.str();
        EXPECT_EQ(list[0].toObject()["ip"].toString(), "10.231.0.77");
        EXPECT_EQ(list[0].toObject()["firmware"].toString(), "1.4.2");
        return;
    }
    if (geteuid() != 0 || Shell("ip -V") != 0)
        GTEST_SKIP() << "needs root and the ip tool for a private network namespace";
    Namespace ns("kelvo-cli-test-" + std::to_string(getpid()));
    if (!ns.created)
        GTEST_SKIP() << "cannot create a network namespace here";
    ASSERT_EQ(ns.exec("ip link set lo up"), 0);
    // A veth pair with both ends inside: the broadcast leaves by v0 and
    // never reaches a real network.
    ASSERT_EQ(ns.exec("ip link add v0 type veth peer name v1"), 0);
    ASSERT_EQ(ns.exec("ip addr add 10.231.0.1/24 dev v0"), 0);
    ASSERT_EQ(ns.exec("ip link set v0 up"), 0);
    ASSERT_EQ(ns.exec("ip link set v1 up"), 0);
    ASSERT_EQ(ns.exec("ip route add default dev v0"), 0);
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(ns.exec(std::string("env ") + kInside + "=1 timeout 60 " + self +
                      " --gtest_filter=CliDirect.SearchesByBroadcastInsideAPrivateNamespace"),
              0);
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
