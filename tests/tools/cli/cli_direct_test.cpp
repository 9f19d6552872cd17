// "search --direct" broadcasts, so it runs only inside network namespaces
// that this test creates (and removes): a PC with two adapters, each wired to
// a LAN of its own where a responder on UDP port 9999 plays one device. The
// test binary starts itself again inside the PC. Skipped without root or
// without the ip tool.
#include "commands.h"
#include "qvtext.h"

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
#include <fcntl.h>
#include <sched.h>
#include <set>
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

// Answers every search request on port 9999 with one signed reply as the
// device `ip`, for at most 20 seconds.
void Respond(int fd, const char *ip, std::atomic<int> &requests, std::atomic<bool> &stop) {
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
        if (n <= 0 || !qvudps::is_search_request(buf, static_cast<std::size_t>(n)))
            continue;
        ++requests;
        qvudps_module m{};
        in_addr a{};
        qv::parse_dotted_ipv4(ip, a.s_addr);
        std::snprintf(m.mac, sizeof m.mac, "02:4B:56:00:00:%02X", ntohl(a.s_addr) & 0xFF);
        std::snprintf(m.ip, sizeof m.ip, "%s", ip);
        std::snprintf(m.mask, sizeof m.mask, "255.255.255.0");
        std::snprintf(m.gateway, sizeof m.gateway, "0.0.0.0");
        std::snprintf(m.filter_ip, sizeof m.filter_ip, "0.0.0.0");
        std::snprintf(m.filter_mask, sizeof m.filter_mask, "0.0.0.0");
        m.raw_type = (2 << 3) | 1;
        m.raw_version = 0x42;
        m.raw_flags = 0x04;
        m.port = 80;
        std::uint8_t reply[128];
        const std::size_t size =
            qvudps::encode_reply(m, qvudps::builtin_search_key, reply, sizeof reply);
        sendto(fd, reply, size, 0, reinterpret_cast<sockaddr *>(&from), len);
    }
}

// A device in the namespace `ns`: its socket belongs there for its life.
struct Device {
    Device(const std::string &ns, const char *ip) {
        std::thread([&] {
            const int nsfd = open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
            if (nsfd < 0 || setns(nsfd, CLONE_NEWNET) != 0)
                return;
            close(nsfd);
            fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        }).join();
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(9999);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0)
            return;
        responder = std::thread(Respond, fd, ip, std::ref(requests), std::ref(stop));
    }
    ~Device() {
        stop = true;
        if (responder.joinable())
            responder.join();
        close(fd);
    }
    int fd = -1;
    std::atomic<int> requests{0};
    std::atomic<bool> stop{false};
    std::thread responder;
};

} // namespace

TEST(CliDirect, SearchesByBroadcastOnEveryAdapterInsidePrivateNamespaces) {
    if (std::getenv(kInside)) {
        kelvo::cli::Environment env;
        env.filterFile = "/nonexistent/kelvo-cli.filter";
        std::ostringstream out, err;
        const int rc = kelvo::cli::RunCli({"search", "--direct", "--no-names", "--format", "json"},
                                          out, err, env);
        ASSERT_EQ(rc, 0) << err.str();
        EXPECT_NE(err.str().find("Searching directly on a0 10.231.0.255, b0 10.232.0.255"),
                  std::string::npos)
            << err.str();
        const QJsonArray list =
            QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).array();
        ASSERT_EQ(list.size(), 2) << "one device on each LAN; " << out.str();
        std::set<QString> ips;
        for (const auto &d : list)
            ips.insert(d.toObject()["ip"].toString());
        EXPECT_EQ(ips, (std::set<QString>{"10.231.0.77", "10.232.0.78"}));
        EXPECT_EQ(list[0].toObject()["firmware"].toString(), "1.4.2");
        return;
    }
    if (geteuid() != 0 || Shell("ip -V") != 0)
        GTEST_SKIP() << "needs root and the ip tool for private network namespaces";
    const std::string id = std::to_string(getpid());
    Namespace pc("kelvo-cli-pc-" + id), lan1("kelvo-cli-lan1-" + id), lan2("kelvo-cli-lan2-" + id);
    if (!pc.created || !lan1.created || !lan2.created)
        GTEST_SKIP() << "cannot create network namespaces here";
    // The default route leaves by a0: a limited broadcast would reach lan1
    // only. Neither LAN has a broadcast address configured on the PC side.
    for (const std::string &c :
         {"ip -n " + pc.name + " link add a0 type veth peer name a1 netns " + lan1.name,
          "ip -n " + pc.name + " link add b0 type veth peer name b1 netns " + lan2.name,
          "ip -n " + pc.name + " addr add 10.231.0.1/24 dev a0",
          "ip -n " + pc.name + " addr add 10.232.0.1/24 dev b0",
          "ip -n " + lan1.name + " addr add 10.231.0.77/24 dev a1",
          "ip -n " + lan2.name + " addr add 10.232.0.78/24 dev b1"})
        ASSERT_EQ(Shell(c), 0) << c;
    for (const auto *ns : {&pc, &lan1, &lan2})
        ASSERT_EQ(ns->exec("ip link set lo up"), 0);
    for (const auto &[ns, dev] : {std::pair{&pc, "a0"}, {&pc, "b0"}, {&lan1, "a1"}, {&lan2, "b1"}})
        ASSERT_EQ(ns->exec(std::string("ip link set up dev ") + dev), 0);
    ASSERT_EQ(pc.exec("ip route add default dev a0"), 0);
    Device one(lan1.name, "10.231.0.77"), two(lan2.name, "10.232.0.78");
    ASSERT_TRUE(one.responder.joinable() && two.responder.joinable());
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(
        pc.exec(
            std::string("env ") + kInside + "=1 timeout 60 " + self +
            " --gtest_filter=CliDirect.SearchesByBroadcastOnEveryAdapterInsidePrivateNamespaces"),
        0);
    EXPECT_GE(one.requests, 1);
    EXPECT_GE(two.requests, 1) << "the second LAN is searched too";
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
