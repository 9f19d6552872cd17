// The kelvo-relay program in networks of the test's own: broadcast over
// namespaced interfaces, routing a setup by interface, slots under a flood
// and a forged loopback source.
#include "lab.h"
#include "net.h"
#include "relay.h"
#include "relay_net.h"
#include "relay_test.h"

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <linux/if_packet.h>
#include <map>
#include <net/ethernet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <thread>

using namespace kelvo::test;
using namespace std::chrono_literals;

// ------------------------------------------------------------------ broadcast

namespace {

// A network namespace of the test's own with two veth ends in two subnets,
// removed again at the end. Needs root; the test skips otherwise.
class NetNs {
public:
    // `bare`: only the loopback interface, for a topology built by the test.
    explicit NetNs(const std::string &tag = "lab", bool bare = false)
        : name_("kelvo-" + tag + "-" + std::to_string(getpid())) {
        if (geteuid() != 0)
            return;
        const std::string n = " -n " + name_ + " ";
        if (bare) {
            ok_ = shell("ip netns add " + name_) && shell("ip" + n + "link set lo up");
            return;
        }
        const std::string cmds[] = {
            "ip netns add " + name_,
            "ip" + n + "link add kv0 type veth peer name kv1",
            "ip" + n + "addr add 10.77.0.1/24 brd + dev kv0",
            // No broadcast address given: the relay computes it.
            "ip" + n + "addr add 10.78.0.1/24 dev kv1",
            "ip" + n + "link set kv0 up",
            "ip" + n + "link set kv1 up",
            "ip" + n + "link set lo up",
        };
        for (const auto &c : cmds)
            if (!shell(c))
                return;
        ok_ = true;
    }
    static bool shell(const std::string &c) {
        return std::system((c + " 2>/dev/null").c_str()) == 0;
    }
    ~NetNs() {
        if (geteuid() == 0) [[maybe_unused]]
            int r = std::system(("ip netns del " + name_ + " 2>/dev/null").c_str());
    }
    bool ok() const { return ok_; }
    const std::string &name() const { return name_; }

    // Runs fn on a thread that has entered the namespace: sockets it creates
    // belong to the namespace for their whole life.
    bool run_inside(const std::function<void()> &fn) const {
        bool entered = false;
        std::thread t([&] {
            const int fd = open(("/var/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            entered = setns(fd, CLONE_NEWNET) == 0;
            close(fd);
            if (entered)
                fn();
        });
        t.join();
        return entered;
    }

private:
    std::string name_;
    bool ok_ = false;
};

// One datagram and the address it was sent to.
bool receive_with_destination(int fd, Bytes &out, std::string &to, sockaddr_in &from,
                              std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    std::uint8_t buf[2048];
    int ifindex = 0;
    in_addr dest{};
    const long n = kelvo::relay::net::receive(fd, buf, sizeof buf, from, ifindex, &dest);
    if (n < 0)
        return false;
    out.assign(buf, buf + n);
    char b[INET_ADDRSTRLEN] = "";
    if (dest.s_addr != 0)
        inet_ntop(AF_INET, &dest, b, sizeof b);
    to = b;
    return true;
}

// Runs kelvo-relay with `extra` options inside a fresh namespace, sends it one
// search and returns how often each broadcast address got the request. Also
// checks that a device's reply reaches the client.
std::map<std::string, int> broadcast_destinations(const std::vector<std::string> &extra) {
    NetNs ns;
    if (!ns.ok())
        return {{"skip", 1}};
    std::unique_ptr<Udp> device, client;
    EXPECT_TRUE(ns.run_inside([&] {
        device = std::make_unique<Udp>("0.0.0.0", qvudps::device_port);
        client = std::make_unique<Udp>("127.0.0.1");
    }));
    if (!device)
        return {};
    const int one = 1;
    EXPECT_EQ(setsockopt(device->fd(), IPPROTO_IP, IP_PKTINFO, &one, sizeof one), 0);
    EXPECT_EQ(device->port(), qvudps::device_port);

    std::vector<std::string> argv = {
        "ip",       "netns", "exec",      ns.name(), KELVO_RELAY_PATH, "--listen", "127.0.0.1:0",
        "--linger", "2",     "--verbose", "0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    Process relay(argv);
    const std::uint16_t port = port_in(relay.line());
    EXPECT_NE(port, 0);

    const Bytes request = search_request();
    EXPECT_TRUE(client->send_to(endpoint("127.0.0.1", port), wrap(qvudps::proxy_search, request)));
    std::map<std::string, int> destinations;
    sockaddr_in from{}, reply_to{};
    Bytes got;
    std::string to;
    const auto until = Clock::now() + 3s;
    while (Clock::now() < until && receive_with_destination(device->fd(), got, to, from, 500ms)) {
        EXPECT_EQ(got, request);
        ++destinations[to];
        reply_to = from;
    }

    EXPECT_TRUE(device->send_to(reply_to, Bytes(48, 0x33)));
    Bytes reply;
    sockaddr_in src{};
    EXPECT_TRUE(client->receive(reply, &src, 2s));
    EXPECT_EQ(reply, Bytes(48, 0x33));
    EXPECT_EQ(ntohs(src.sin_port), port);
    EXPECT_EQ(relay.stop(), 0);
    return destinations;
}

} // namespace

TEST(RelayBroadcast, WithoutDevicesItBroadcastsOnEveryInterfaceOfItsOwnNamespace) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for a network namespace";
    auto destinations = broadcast_destinations({});
    if (destinations.count("skip"))
        GTEST_SKIP() << "cannot create a network namespace with veth interfaces here";
    EXPECT_EQ(destinations.count("255.255.255.255"), 0u) << "never the limited broadcast";
    EXPECT_EQ(destinations.count("10.78.0.1"), 0u) << "never its own address";
    EXPECT_GE(destinations["10.77.0.255"], 2) << "twice on the first interface";
    EXPECT_GE(destinations["10.78.0.255"], 2) << "twice on the second interface";
}

TEST(RelayBroadcast, InterfaceOptionLimitsTheBroadcastToTheNamedInterfaces) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for a network namespace";
    auto destinations = broadcast_destinations({"--interface", "kv1"});
    if (destinations.count("skip"))
        GTEST_SKIP() << "cannot create a network namespace with veth interfaces here";
    EXPECT_EQ(destinations.count("10.77.0.255"), 0u) << "kv0 is not named";
    EXPECT_GE(destinations["10.78.0.255"], 2);
}

namespace {

// An in-process relay unicasting to `device`, logging into a temporary file.
struct RelayInProcess : ::testing::Test {
    Udp device{"127.0.0.1"};
    std::FILE *log = std::tmpfile();
    std::unique_ptr<kelvo::relay::Relay> relay;
    int stop[2] = {-1, -1};
    std::thread runner;

    void start(std::size_t max_requests, int verbose) {
        kelvo::relay::Options opt;
        opt.listen_port = 0;
        opt.devices = {endpoint("127.0.0.1", device.port())};
        opt.repeat = 1;
        opt.linger_ms = 2000;
        opt.max_requests = max_requests;
        opt.verbose = verbose;
        opt.log = log;
        relay = std::make_unique<kelvo::relay::Relay>(opt);
        std::string err;
        ASSERT_TRUE(relay->open(&err)) << err;
        ASSERT_EQ(pipe(stop), 0);
        runner = std::thread([this] { relay->run(stop[0]); });
    }
    sockaddr_in at() const { return endpoint("127.0.0.1", relay->port()); }
    // Stops the relay and returns its log.
    std::string finish() {
        EXPECT_EQ(write(stop[1], "x", 1), 1);
        runner.join();
        close(stop[0]);
        close(stop[1]);
        std::string text;
        std::rewind(log);
        char b[4096];
        for (std::size_t n; (n = std::fread(b, 1, sizeof b, log)) > 0;)
            text.append(b, n);
        return text;
    }
    ~RelayInProcess() override { std::fclose(log); }
};

} // namespace

TEST_F(RelayInProcess, WhenAllSlotsAreTakenTheOldestSearchGivesWayAndTheLogSaysSo) {
    start(2, 0);
    const auto search = wrap(qvudps::proxy_search, search_request());
    Udp a, b, c;
    a.send_to(at(), search);
    b.send_to(at(), search);
    c.send_to(at(), search);
    std::vector<sockaddr_in> from;
    ASSERT_EQ(device.collect(300ms, 3s, &from).size(), 3u) << "the third client is served too";
    EXPECT_EQ(relay->stats().evicted, 1u);
    EXPECT_EQ(relay->stats().dropped, 0u);
    // a's search gave way: its replies go nowhere, c's reach c.
    device.send_to(from[0], reply_bytes(1));
    device.send_to(from[2], reply_bytes(3));
    Bytes got;
    ASSERT_TRUE(c.receive(got, nullptr, 2s));
    EXPECT_EQ(got, reply_bytes(3));
    EXPECT_FALSE(a.receive(got, nullptr, 300ms));

    // A client asking again replaces its own open search, so one socket
    // flooding searches pushes out nobody else.
    for (int i = 0; i < 20; ++i)
        c.send_to(at(), search);
    EXPECT_EQ(device.collect(300ms, 3s, &from).size(), 20u);
    EXPECT_EQ(relay->stats().evicted, 1u);
    const std::string text = finish();
    EXPECT_EQ(relay->stats().searches, 23u);
    EXPECT_NE(text.find("the oldest of the client holding most, from 127.0.0.1:" +
                        std::to_string(a.port())),
              std::string::npos)
        << text;
}

TEST_F(RelayInProcess, ClientNamesReachTheLogWithControlCharactersEscaped) {
    start(4, 1);
    Udp client;
    client.send_to(at(), wrap(qvudps::proxy_search, search_request(), "\x1b[2J\r\nforged"));
    std::vector<sockaddr_in> from;
    ASSERT_EQ(device.collect(300ms, 3s, &from).size(), 1u);
    const std::string text = finish();
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find("\nforged"), std::string::npos) << text;
    EXPECT_NE(text.find("(\\x1b[2J\\x0d\\x0aforged)"), std::string::npos) << text;
}

// ------------------------------------------------------------ setup routing

TEST(RelayRouting, ASetupLeavesOnlyByTheInterfaceWhereItsDeviceAnswered) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for network namespaces";
    // The relay's PC with two networks, each a namespace of its own: a
    // device on lan1, a listener on lan2.
    NetNs pc("pc", true), lan1("lan1", true), lan2("lan2", true);
    const std::string p = "ip -n " + pc.name() + " ";
    if (!pc.ok() || !lan1.ok() || !lan2.ok() ||
        !NetNs::shell(p + "link add a0 type veth peer name a1 netns " + lan1.name()) ||
        !NetNs::shell(p + "link add b0 type veth peer name b1 netns " + lan2.name()))
        GTEST_SKIP() << "cannot build two networks of namespaces here";
    for (const std::string &c :
         {p + "addr add 10.241.0.1/24 dev a0", p + "addr add 10.242.0.1/24 dev b0",
          p + "link set a0 up", p + "link set b0 up",
          "ip -n " + lan1.name() + " addr add 10.241.0.50/24 dev a1",
          "ip -n " + lan2.name() + " addr add 10.242.0.50/24 dev b1",
          "ip -n " + lan1.name() + " link set a1 up", "ip -n " + lan2.name() + " link set b1 up"})
        ASSERT_TRUE(NetNs::shell(c)) << c;
    std::unique_ptr<Udp> device, listener, client;
    ASSERT_TRUE(lan1.run_inside([&] { device = std::make_unique<Udp>("0.0.0.0", 9999); }));
    ASSERT_TRUE(lan2.run_inside([&] { listener = std::make_unique<Udp>("0.0.0.0", 9999); }));
    ASSERT_TRUE(pc.run_inside([&] { client = std::make_unique<Udp>("127.0.0.1"); }));
    Process relay({"sh", "-c",
                   "exec ip netns exec " + pc.name() + " " + KELVO_RELAY_PATH +
                       " --listen 127.0.0.1:0 --linger 3 --repeat 1 2>&1"});
    const sockaddr_in at = endpoint("127.0.0.1", port_in(relay.line()));
    ASSERT_NE(at.sin_port, 0);

    ASSERT_TRUE(client->send_to(at, wrap(qvudps::proxy_search, search_request())));
    std::vector<sockaddr_in> from;
    ASSERT_EQ(device->collect(300ms, 3s, &from).size(), 1u);
    Bytes reply(48, 0);
    const Bytes seen_mac = {0x02, 0x4b, 0x56, 0, 0, 0x11};
    std::copy(seen_mac.begin(), seen_mac.end(), reply.begin());
    ASSERT_TRUE(device->send_to(from[0], reply));
    Bytes got;
    ASSERT_TRUE(client->receive(got, nullptr, 2s)) << "the reply passed the relay";
    EXPECT_EQ(listener->collect(300ms, 3s).size(), 1u) << "the search went to lan2 too";

    const auto setup_for = [](const Bytes &mac) {
        Bytes setup(51, 0x42);
        std::copy(mac.begin(), mac.end(), setup.begin());
        return wrap(qvudps::proxy_setup, setup);
    };
    ASSERT_TRUE(client->send_to(at, setup_for(seen_mac)));
    EXPECT_EQ(device->collect(300ms, 3s).size(), 1u);
    EXPECT_TRUE(listener->collect(500ms, 3s).empty()) << "no setup for a lan1 device on lan2";

    const Bytes unseen_mac = {0x02, 0x4b, 0x56, 0, 0, 0x22};
    ASSERT_TRUE(client->send_to(at, setup_for(unseen_mac)));
    EXPECT_EQ(device->collect(300ms, 3s).size(), 1u);
    EXPECT_EQ(listener->collect(300ms, 3s).size(), 1u) << "a MAC never seen: every interface";
    bool said = false;
    for (std::string line; !said && !(line = relay.line(2s)).empty();)
        said = line.find("setup for 02:4B:56:00:00:22, which answered no search: sent on every "
                         "interface") != std::string::npos;
    EXPECT_TRUE(said);
}

TEST_F(RelayInProcess, AFloodFromAnotherUserLeavesASearchCompleteAndTheLogShort) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to flood as another user";
    const auto began = Clock::now();
    start(16, 1);
    const sockaddr_in to = at();
    const Bytes flood = wrap(qvudps::proxy_search, search_request());
    Bytes mine = search_request();
    mine.back() ^= 1; // tells the victim's request apart at the device
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    // User nobody with 300 sockets, 20 searches each, at most 3 s; says
    // when the first round is out, and keeps its sockets until told (at
    // most 10 s).
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        int fds[300];
        for (int &fd : fds)
            fd = socket(AF_INET, SOCK_DGRAM, 0);
        const auto until = Clock::now() + 3s;
        for (int round = 0; round < 20 && Clock::now() < until; ++round) {
            for (const int fd : fds)
                sendto(fd, flood.data(), flood.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                       sizeof to);
            if (round == 0 && write(ready[1], "r", 1) != 1)
                _exit(3);
        }
        pollfd p{done[0], POLLIN, 0};
        _exit(poll(&p, 1, 10000) == 1 ? 0 : 4);
    }
    close(ready[1]);
    close(done[0]);
    char r = 0;
    ASSERT_EQ(read(ready[0], &r, 1), 1);
    close(ready[0]);
    Udp victim;
    ASSERT_TRUE(victim.send_to(to, wrap(qvudps::proxy_search, mine)));

    std::vector<sockaddr_in> from;
    const auto heard = device.collect(300ms, 5s, &from);
    const auto it = std::find(heard.begin(), heard.end(), mine);
    ASSERT_NE(it, heard.end()) << "the victim's search went out";
    EXPECT_LT(heard.size(), 1000u) << "the flood of 6000 is held back, not sent on";
    ASSERT_TRUE(device.send_to(from[static_cast<std::size_t>(it - heard.begin())], reply_bytes(7)));
    Bytes got;
    const bool kept = victim.receive(got, nullptr, 2s);
    EXPECT_EQ(write(done[1], "d", 1), 1);
    close(done[1]);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string text = finish();
    EXPECT_TRUE(kept) << "its slot was kept through the flood\n" << text;
    EXPECT_EQ(got, reply_bytes(7));

    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - began);
    const auto lines = std::count(text.begin(), text.end(), '\n');
    EXPECT_LE(lines, 11 * (seconds.count() + 1)) << text;
    EXPECT_NE(text.find("left out of the log (over 10 lines a second): "), std::string::npos)
        << text;
}

namespace {

std::uint16_t ip_checksum(const std::uint8_t *data, std::size_t len) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < len; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

// Sends `payload` as UDP 127.0.0.1:40000 -> 127.0.0.1:port in one Ethernet
// frame out of `ifname` to the MAC `to`, as another host on the LAN could.
bool send_forged(const std::string &ifname, const std::uint8_t *to, std::uint16_t port,
                 const Bytes &payload) {
    const std::size_t size = 28 + payload.size();
    std::uint8_t h[28] = {
        0x45, 0, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 0, 0, 0, 0,
        64, IPPROTO_UDP, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1,
        // UDP: from port 40000, checksum 0 (none)
        40000 >> 8, 40000 & 255, static_cast<std::uint8_t>(port >> 8),
        static_cast<std::uint8_t>(port), static_cast<std::uint8_t>((size - 20) >> 8),
        static_cast<std::uint8_t>(size - 20), 0, 0};
    const std::uint16_t sum = ip_checksum(h, 20);
    h[10] = static_cast<std::uint8_t>(sum >> 8);
    h[11] = static_cast<std::uint8_t>(sum);
    Bytes frame(h, h + 28);
    frame.insert(frame.end(), payload.begin(), payload.end());
    const int fd = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP));
    sockaddr_ll ll{};
    ll.sll_family = AF_PACKET;
    ll.sll_protocol = htons(ETH_P_IP);
    ll.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
    ll.sll_halen = 6;
    std::copy(to, to + 6, ll.sll_addr);
    const bool sent =
        fd >= 0 && sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr *>(&ll),
                          sizeof ll) == static_cast<ssize_t>(frame.size());
    if (fd >= 0)
        close(fd);
    return sent;
}

} // namespace

TEST(RelayLoopbackInterface, AForgedLoopbackSourceFromTheLanIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for network namespaces";
    // The relay's PC lets 127/8 in by its LAN interface (route_localnet,
    // accept_local): only the arrival interface tells the forgery.
    NetNs pc("fpc", true), lan("flan", true);
    const std::string p = "ip netns exec " + pc.name() + " ";
    if (!pc.ok() || !lan.ok() ||
        !NetNs::shell("ip -n " + pc.name() + " link add a0 type veth peer name a1 netns " +
                      lan.name()))
        GTEST_SKIP() << "cannot build a network of namespaces here";
    for (const std::string &c :
         {"ip -n " + pc.name() + " addr add 10.243.0.1/24 dev a0",
          "ip -n " + pc.name() + " link set a0 up", "ip -n " + lan.name() + " link set a1 up",
          p + "sysctl -qw net.ipv4.conf.all.route_localnet=1",
          p + "sysctl -qw net.ipv4.conf.a0.route_localnet=1",
          p + "sysctl -qw net.ipv4.conf.all.accept_local=1",
          p + "sysctl -qw net.ipv4.conf.a0.accept_local=1",
          p + "sysctl -qw net.ipv4.conf.all.rp_filter=0",
          p + "sysctl -qw net.ipv4.conf.a0.rp_filter=0"})
        ASSERT_TRUE(NetNs::shell(c)) << c;
    std::uint8_t mac[6] = {};
    ASSERT_TRUE(pc.run_inside([&] {
        ifreq req{};
        std::strncpy(req.ifr_name, "a0", IFNAMSIZ - 1);
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (ioctl(fd, SIOCGIFHWADDR, &req) == 0)
            std::memcpy(mac, req.ifr_hwaddr.sa_data, 6);
        close(fd);
    }));
    Process relay(
        {"sh", "-c",
         "exec " + p + KELVO_RELAY_PATH + " --listen 127.0.0.1:0 --devices 127.0.0.1:9 2>&1"});
    const std::uint16_t port = port_in(relay.line());
    ASSERT_NE(port, 0);
    bool sent = false;
    ASSERT_TRUE(lan.run_inside([&] {
        sent =
            send_forged("a1", mac, port, wrap(kelvo::relay::probe_kind, nonce_of(5), "Mvx-Config"));
    }));
    ASSERT_TRUE(sent);
    bool refused = false;
    for (std::string line; !refused && !(line = relay.line(3s)).empty();)
        refused = line.find("arrived on a network interface, not on loopback") != std::string::npos;
    EXPECT_TRUE(refused);
}