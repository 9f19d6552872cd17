// Ping and adapter listing against the real kernel. Only 127.0.0.1 is pinged
// from the machine's own namespace; everything else happens inside a network
// namespace that the test creates and deletes (root only, skipped otherwise).
#include "hostplatform.h"
#include "kelvohost.h"
#include "qvtext.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace kelvo::host;
using Clock = std::chrono::steady_clock;

namespace {

std::uint32_t addr(const char *dotted) {
    std::uint32_t networkOrder = 0;
    EXPECT_TRUE(qv::parse_dotted_ipv4(dotted, networkOrder)) << dotted;
    return networkOrder;
}

std::string hexWord(const char *dotted) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", addr(dotted));
    return buf;
}

} // namespace

TEST(RouteTable, DefaultGatewayWithLowestMetricOfThatInterface) {
    const std::string z = "00000000";
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t" +
        z + "\t" + hexWord("192.168.1.254") + "\t0003\t0\t0\t600\t" + z + "\t0\t0\t0\n" + "eth0\t" +
        hexWord("10.0.0.0") + "\t" + hexWord("192.168.1.9") + "\t0003\t0\t0\t0\t" +
        hexWord("255.0.0.0") + "\t0\t0\t0\n" + "eth0\t" + z + "\t" + hexWord("192.168.1.1") +
        "\t0003\t0\t0\t100\t" + z + "\t0\t0\t0\n" + "eth1\t" + z + "\t" + hexWord("10.9.9.9") +
        "\t0003\t0\t0\t50\t" + z + "\t0\t0\t0\n" + "eth2\t" + z + "\t" + hexWord("10.8.8.8") +
        "\t0001\t0\t0\t0\t" + z + "\t0\t0\t0\n" + "eth3\t" + z + "\t" + hexWord("10.7.7.7") +
        "\t0002\t0\t0\t0\t" + z + "\t0\t0\t0\n";
    EXPECT_EQ(platform::DefaultGatewayFromRouteTable(table, "eth0"), "192.168.1.1");
    EXPECT_EQ(platform::DefaultGatewayFromRouteTable(table, "eth1"), "10.9.9.9");
    EXPECT_EQ(platform::DefaultGatewayFromRouteTable(table, "eth2"), "") << "not via a gateway";
    EXPECT_EQ(platform::DefaultGatewayFromRouteTable(table, "eth3"), "") << "route is down";
    EXPECT_EQ(platform::DefaultGatewayFromRouteTable(table, "eth9"), "");
    EXPECT_EQ(platform::DefaultGatewayFromRouteTable("", "eth0"), "");
}

TEST(Ping, LoopbackAnswers) {
    const auto start = Clock::now();
    const int rc = PingAddress("127.0.0.1");
    if (rc == -1 && geteuid() != 0)
        GTEST_SKIP() << "no ICMP socket allowed for this user";
    EXPECT_EQ(rc, 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << "first reply ends it";
    if (geteuid() == 0) {
        EXPECT_EQ(platform::Ping(addr("127.0.0.1"), platform::IcmpSocket::Raw, 2, 1000), 0);
    }
}

namespace {

bool run(const std::string &cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// A private network namespace:
//   lo      up, 127.0.0.1
//   kh0     10.77.0.1/24 (and a secondary 10.77.0.9), default route via 10.77.0.254;
//           its veth peer kh1 is up without an address, so nobody answers on 10.77.0.0/24
//   kh2     10.88.1.1/16 without a default route; its peer kh3 has no address
class NamespaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "network namespaces need root";
        static std::atomic<int> counter{0};
        name_ = "kelvo-host-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        if (!run("ip netns add " + name_))
            GTEST_SKIP() << "ip netns is not available here";
        created_ = true;
        const std::string n = "ip -n " + name_ + " ";
        for (const std::string &cmd : {
                 n + "link set lo up",
                 n + "link add kh0 type veth peer name kh1",
                 n + "link add kh2 type veth peer name kh3",
                 n + "addr add 10.77.0.1/24 dev kh0",
                 n + "addr add 10.77.0.9/24 dev kh0",
                 n + "addr add 10.88.1.1/16 dev kh2",
                 n + "link set kh0 up",
                 n + "link set kh1 up",
                 n + "link set kh2 up",
                 n + "link set kh3 up",
                 n + "route add default via 10.77.0.254 dev kh0",
                 // Down, so never listed although it has an address.
                 n + "link add kh4 type veth peer name kh5",
                 n + "addr add 10.99.0.1/24 dev kh4",
             }) {
            if (!run(cmd))
                GTEST_SKIP() << "could not set up the namespace: " << cmd;
        }
    }

    void TearDown() override {
        if (created_) {
            EXPECT_TRUE(run("ip netns del " + name_));
        }
    }

    // Runs `body` on a thread that has entered the namespace. Never runs it
    // when entering fails, so nothing can leave through the real network.
    void inside(const std::function<void()> &body) {
        std::thread t([&] {
            const int fd = open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                ADD_FAILURE() << "cannot open the namespace";
                return;
            }
            const int rc = setns(fd, CLONE_NEWNET);
            close(fd);
            if (rc != 0) {
                ADD_FAILURE() << "cannot enter the namespace";
                return;
            }
            body();
        });
        t.join();
    }

    std::string name_;
    bool created_ = false;
};

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

} // namespace

TEST_F(NamespaceTest, AdaptersInSystemOrderWithGateway) {
    inside([] {
        std::vector<AdapterEntry> list;
        ASSERT_EQ(platform::ListAdapters(list), 0);
        ASSERT_EQ(list.size(), 2u) << "loopback, address-less peers and down links are not listed";
        const bool kh0First = if_nametoindex("kh0") < if_nametoindex("kh2");
        const auto fields = [](const AdapterEntry &e) {
            return std::vector<std::string>{e.name, e.ip, e.mask, e.gateway};
        };
        // Of kh0 only its first address.
        EXPECT_EQ(fields(list[kh0First ? 0 : 1]),
                  (std::vector<std::string>{"kh0", "10.77.0.1", "255.255.255.0", "10.77.0.254"}));
        EXPECT_EQ(fields(list[kh0First ? 1 : 0]),
                  (std::vector<std::string>{"kh2", "10.88.1.1", "255.255.0.0", ""}));

        ASSERT_EQ(ReadLocalAdapter(), 0);
        EXPECT_EQ(LocalIpText, list[0].ip);
        EXPECT_EQ(LocalGatewayText, list[0].gateway);
    });
}

TEST_F(NamespaceTest, ChecksUseTheAdapterWhoseSubnetHoldsTheDeviceElseTheDefaultRoute) {
    inside([] {
        ASSERT_EQ(UseAdapterFor("10.88.7.7"), 0);
        EXPECT_EQ(LocalIpText, "10.88.1.1");
        EXPECT_EQ(LocalNetmaskText, "255.255.0.0");
        ASSERT_EQ(UseAdapterFor("192.168.5.5"), 0);
        EXPECT_EQ(LocalIpText, "10.77.0.1") << "the adapter with the default route";
        EXPECT_EQ(LocalGatewayText, "10.77.0.254");
        ASSERT_EQ(UseAdapterFor("10.77.0.50", "kh2"), 0) << "a named adapter wins";
        EXPECT_EQ(LocalIpText, "10.88.1.1");
        // A device to move: the network of its new address first, then the
        // one it is on now, then the default route; the message names it.
        ASSERT_EQ(UseAdapterForMove("10.88.7.7", "172.16.5.20", "", {}), 0);
        EXPECT_EQ(CheckedNetworkText(), "kh2, network 10.88.0.0/16");
        ASSERT_EQ(UseAdapterForMove("10.88.7.7", "10.77.0.8", "", {}), 0);
        EXPECT_EQ(LocalAdapterName, "kh2") << "the new address decides";
        ASSERT_EQ(UseAdapterForMove("172.16.5.20", "10.88.7.7", "", {}), 0);
        EXPECT_EQ(LocalAdapterName, "kh2");
        ASSERT_EQ(UseAdapterForMove("172.16.5.20", "192.168.5.5", "", {}), 0);
        EXPECT_EQ(CheckedNetworkText(), "kh0, network 10.77.0.0/24");
        EXPECT_EQ(UseAdapterFor("10.77.0.50", "kh4"), -2) << "down";
        EXPECT_EQ(UseAdapterFor("10.77.0.50", "nope0"), -2);
        EXPECT_EQ(LocalAddress, 0u);
    });
}

TEST_F(NamespaceTest, NoReplyAfterTwoRequests) {
    inside([] {
        const auto start = Clock::now();
        EXPECT_EQ(PingAddress("10.77.0.2"), 1);
        const auto took = Clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(1900)) << "two waits of 1000 ms";
        EXPECT_LT(took, std::chrono::milliseconds(6000));
    });
}

TEST_F(NamespaceTest, BroadcastAndBadTextsAreNeverSent) {
    inside([] {
        EXPECT_EQ(PingAddress("10.77.0.255"), -1) << "subnet broadcast refused";
        const auto start = Clock::now();
        EXPECT_EQ(PingAddress("10.77.0.x"), 1);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << "nothing was sent";
    });
}

TEST_F(NamespaceTest, DatagramSocketOnlyWhereAllowed) {
    const std::string knob = "/proc/sys/net/ipv4/ping_group_range";
    const std::string outside = readFile(knob);
    inside([&] {
        const std::uint32_t self = addr("10.77.0.1");
        if (readFile(knob) == "1\t0") { // a new namespace allows nobody
            EXPECT_EQ(platform::Ping(self, platform::IcmpSocket::Datagram, 1, 1000), -1);
        }
        // Write only when the sysctl view is provably the namespace's own.
        ASSERT_EQ(access("/proc/sys/net/ipv4/conf/kh0", F_OK), 0);
        std::ofstream(knob) << "0 2147483647";
        ASSERT_EQ(readFile(knob), "0\t2147483647");
        EXPECT_EQ(platform::Ping(self, platform::IcmpSocket::Datagram, 1, 1000), 0);
        EXPECT_EQ(platform::Ping(addr("127.0.0.1"), platform::IcmpSocket::Datagram, 2, 1000), 0);
        EXPECT_EQ(platform::Ping(self, platform::IcmpSocket::Raw, 1, 1000), 0);
    });
    EXPECT_EQ(readFile(knob), outside) << "the machine's own setting must be untouched";
}
