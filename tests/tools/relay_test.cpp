// The relay's datagram checks, and the kelvo-relay program between test
// clients and a scripted device socket on loopback.
#include "lab.h"
#include "net.h"
#include "relay.h"
#include "relay_net.h"

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <linux/if_packet.h>
#include <map>
#include <net/ethernet.h>
#include <net/if.h>
#include <optional>
#include <sched.h>
#include <sys/ioctl.h>
#include <thread>

using namespace kelvo::test;
using namespace std::chrono_literals;
using kelvo::relay::Verdict;

namespace {

Verdict verdict(const Bytes &d, const std::string &from = "127.0.0.1", bool on_lo = true) {
    qvudps::ProxyHeader h{};
    const std::uint8_t *payload = nullptr;
    std::size_t len = 0;
    return kelvo::relay::check_datagram(endpoint(from, 5555), on_lo, d.data(), d.size(), h, payload,
                                        len);
}

} // namespace

TEST(RelayChecks, AcceptsOnlyWellFormedDatagramsFromThisPc) {
    const Bytes search = wrap(qvudps::proxy_search, search_request(), "Mvx-Config");
    EXPECT_EQ(verdict(search), Verdict::ok);
    EXPECT_EQ(verdict(search, "127.44.0.9"), Verdict::ok) << "all of 127/8 is this PC";
    EXPECT_EQ(verdict(wrap(qvudps::proxy_setup, Bytes(51, 7))), Verdict::ok);

    EXPECT_EQ(verdict(search, "192.168.1.20"), Verdict::not_loopback);
    EXPECT_EQ(verdict(search, "10.0.0.1"), Verdict::not_loopback);
    EXPECT_EQ(verdict(search, "128.0.0.1"), Verdict::not_loopback);
    EXPECT_EQ(verdict(search, "127.0.0.1", false), Verdict::not_loopback_interface)
        << "a loopback source that came in by a network interface is forged";

    EXPECT_EQ(verdict(Bytes(search.begin(), search.begin() + 18)), Verdict::too_short);
    EXPECT_EQ(verdict(Bytes(search.begin(), search.end() - 1)), Verdict::too_short)
        << "a payload shorter than 48 bytes is no request";
    EXPECT_EQ(verdict({}), Verdict::too_short);

    Bytes kind7 = search;
    kind7[0] = 7;
    EXPECT_EQ(verdict(kind7), Verdict::bad_kind);
    kind7[0] = 0;
    EXPECT_EQ(verdict(kind7), Verdict::bad_kind);

    const Bytes nonce(kelvo::relay::probe_nonce_size, 0x5a);
    EXPECT_EQ(verdict(wrap(kelvo::relay::probe_kind, nonce)), Verdict::ok);
    EXPECT_EQ(verdict(wrap(kelvo::relay::probe_kind, nonce), "10.0.0.1"), Verdict::not_loopback);
    for (const std::size_t size : {std::size_t{0}, std::size_t{15}, std::size_t{17}})
        EXPECT_EQ(verdict(wrap(kelvo::relay::probe_kind, Bytes(size, 1))), Verdict::bad_probe)
            << size;

    Bytes crc = search;
    crc[17] ^= 1;
    EXPECT_EQ(verdict(crc), Verdict::bad_crc);
    Bytes body = search;
    body[40] ^= 0x80;
    EXPECT_EQ(verdict(body), Verdict::bad_crc) << "the CRC covers the payload";
}

TEST(RelayChecks, ProbeReplyCarriesTheNonceAndABoundedStatusText) {
    Bytes nonce(kelvo::relay::probe_nonce_size);
    for (std::size_t i = 0; i < nonce.size(); ++i)
        nonce[i] = static_cast<std::uint8_t>(i * 17);
    const auto plain = kelvo::relay::probe_reply(nonce.data(), "");
    ASSERT_EQ(plain.size(), 21u);
    EXPECT_EQ(std::string(plain.begin(), plain.begin() + 4), "KVRL");
    EXPECT_EQ(plain[4], 1);
    EXPECT_EQ(Bytes(plain.begin() + 5, plain.end()), nonce);

    EXPECT_EQ(kelvo::relay::probe_reply(nonce.data(), std::string("a\0b", 3)).size(), 23u)
        << "no NUL in the status text";
    std::string long_text(199, 'x');
    long_text += "\xc3\xa9\xc3\xa9"; // the first é straddles the bound
    const auto cut = kelvo::relay::probe_reply(nonce.data(), long_text);
    EXPECT_EQ(cut.size(), 21u + 199) << "cut before a split character";
}

TEST(RelayChecks, BroadcastAddressIsComputedWhereTheInterfaceNamesNone) {
    struct Case {
        std::uint32_t address, mask, given, want;
    } const cases[] = {
        {0x0A4E0001, 0xFFFFFF00, 0x0A4E00FF, 0x0A4E00FF}, // named: taken as it is
        {0x0A4E0001, 0xFFFFFF00, 0x0A4E0001, 0x0A4E00FF}, // own address given: computed
        {0x0A4E0001, 0xFFFFFF00, 0, 0x0A4E00FF},
        {0x0A140501, 0xFFFF0000, 0, 0x0A14FFFF},
        {0x0A4E00FF, 0xFFFFFF00, 0, 0},          // never its own address
        {0x0A4E0001, 0xFFFFFFFE, 0, 0},          // /31 has no broadcast
        {0x0A4E0001, 0xFFFFFFFF, 0x0A4E0001, 0}, // nor has /32
    };
    for (const auto &c : cases)
        EXPECT_EQ(qvudps::net::broadcast_of(c.address, c.mask, c.given), c.want)
            << std::hex << c.address;
}

TEST(RelayChecks, BroadcastTargetsAreNonLoopbackInterfacesOnPort9999) {
    for (const auto &t : kelvo::relay::broadcast_targets(9999)) {
        EXPECT_NE(ntohl(t.address.sin_addr.s_addr) >> 24, 127u);
        EXPECT_EQ(ntohs(t.address.sin_port), 9999);
        EXPECT_FALSE(t.interface_name.empty());
    }
}

namespace {

// kelvo-relay unicasting to one scripted device socket.
struct RelayProcess : ::testing::Test {
    Udp device{"127.0.0.1"};
    std::unique_ptr<Process> relay;
    sockaddr_in relay_at{};

    void SetUp() override {
        relay = std::make_unique<Process>(std::vector<std::string>{
            KELVO_RELAY_PATH, "--listen", "127.0.0.1:0", "--devices",
            "127.0.0.1:" + std::to_string(device.port()), "--linger", "1", "--verbose", "0"});
        const std::string first = relay->line();
        ASSERT_NE(first.find("kelvo-relay listening 127.0.0.1:"), std::string::npos) << first;
        relay_at = endpoint("127.0.0.1", port_in(first));
    }

    // What the device got within `quiet`, with the sources.
    std::vector<Bytes> device_gets(std::vector<sockaddr_in> &from,
                                   std::chrono::milliseconds quiet = 400ms) {
        return device.collect(quiet, 5s, &from);
    }
};

Bytes reply_bytes(std::uint8_t tag) {
    Bytes r(60, tag);
    r[59] = 0xFF;
    return r;
}

} // namespace

TEST_F(RelayProcess, SearchIsSentTwiceAndEveryReplyComesBackUnchangedFromTheRelay) {
    Udp client;
    const Bytes request = search_request();
    ASSERT_TRUE(client.send_to(relay_at, wrap(qvudps::proxy_search, request, "Mvx-Config")));
    std::vector<sockaddr_in> from;
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 2u) << "sent twice, 100 ms apart";
    EXPECT_EQ(got[0], request) << "the payload leaves without the header";
    EXPECT_EQ(got[1], request);
    EXPECT_EQ(from[0].sin_port, from[1].sin_port) << "both from the request's own socket";

    // Another local program that found the search's port forges a reply:
    // it is no target, so the relay does not pass it on.
    Udp forger{"127.0.0.1"};
    ASSERT_TRUE(forger.send_to(from[0], reply_bytes(7)));
    for (std::uint8_t tag = 1; tag <= 3; ++tag)
        ASSERT_TRUE(device.send_to(from[0], reply_bytes(tag)));
    std::vector<sockaddr_in> sources;
    const auto replies = client.collect(500ms, 5s, &sources);
    ASSERT_EQ(replies.size(), 3u);
    for (std::size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(replies[i], reply_bytes(static_cast<std::uint8_t>(i + 1)));
        EXPECT_EQ(sources[i].sin_addr.s_addr, relay_at.sin_addr.s_addr);
        EXPECT_EQ(sources[i].sin_port, relay_at.sin_port) << "from the listening address";
    }

    // After the linger time the request's socket is gone.
    std::this_thread::sleep_for(1200ms);
    device.send_to(from[0], reply_bytes(9));
    Bytes late;
    EXPECT_FALSE(client.receive(late, nullptr, 300ms));
}

TEST_F(RelayProcess, SetupIsSentOnceAndNothingComesBack) {
    Udp client;
    const Bytes setup(51, 0x42);
    ASSERT_TRUE(client.send_to(relay_at, wrap(qvudps::proxy_setup, setup)));
    std::vector<sockaddr_in> from;
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], setup);
    device.send_to(from[0], reply_bytes(1));
    Bytes none;
    EXPECT_FALSE(client.receive(none, nullptr, 300ms));
}

TEST_F(RelayProcess, MalformedDatagramsAreDroppedAndTheRelayKeepsServing) {
    Udp client;
    Bytes good = wrap(qvudps::proxy_search, search_request());
    Bytes kind7 = good;
    kind7[0] = 7;
    Bytes crc = good;
    crc[18] ^= 0x55;
    for (const Bytes &bad :
         {Bytes{1}, Bytes(good.begin(), good.begin() + 30), kind7, crc, Bytes(600, 1)})
        ASSERT_TRUE(client.send_to(relay_at, bad));
    std::vector<sockaddr_in> from;
    EXPECT_TRUE(device_gets(from, 300ms).empty()) << "nothing malformed reaches the devices";

    ASSERT_TRUE(client.send_to(relay_at, good));
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 2u);
    device.send_to(from[0], reply_bytes(5));
    Bytes r;
    ASSERT_TRUE(client.receive(r, nullptr, 2s));
    EXPECT_EQ(r, reply_bytes(5));
}

TEST_F(RelayProcess, ServesSeveralClientsAtOnceEachWithItsOwnReplies) {
    Udp a, b;
    ASSERT_TRUE(a.send_to(relay_at, wrap(qvudps::proxy_search, search_request(), "A")));
    ASSERT_TRUE(b.send_to(relay_at, wrap(qvudps::proxy_search, search_request(), "B")));
    std::vector<sockaddr_in> from;
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 4u);
    std::map<std::uint16_t, int> sockets;
    for (const auto &f : from)
        ++sockets[f.sin_port];
    ASSERT_EQ(sockets.size(), 2u) << "one fresh socket per request";
    std::uint8_t tag = 1;
    for (const auto &[port, count] : sockets) {
        sockaddr_in to = from[0];
        to.sin_port = port;
        device.send_to(to, reply_bytes(tag++));
    }
    const auto ra = a.collect(400ms);
    const auto rb = b.collect(400ms);
    ASSERT_EQ(ra.size(), 1u);
    ASSERT_EQ(rb.size(), 1u);
    EXPECT_NE(ra[0], rb[0]);

    EXPECT_EQ(relay->stop(), 0) << "SIGTERM ends it cleanly";
}

namespace {

// Sends one probe from `client` and returns the reply that came back from
// exactly `relay_at` within the client's wait, or nothing.
std::optional<Bytes> probe(const Udp &client, const sockaddr_in &relay_at, const Bytes &nonce) {
    if (!client.send_to(relay_at, wrap(kelvo::relay::probe_kind, nonce, "Mvx-Config")))
        return std::nullopt;
    Bytes reply;
    sockaddr_in from{};
    if (!client.receive(reply, &from, 500ms) || from.sin_addr.s_addr != relay_at.sin_addr.s_addr ||
        from.sin_port != relay_at.sin_port)
        return std::nullopt;
    return reply;
}

Bytes nonce_of(std::uint8_t seed) {
    Bytes n(kelvo::relay::probe_nonce_size);
    for (auto &b : n)
        b = seed = static_cast<std::uint8_t>(seed * 31 + 7);
    return n;
}

} // namespace

TEST_F(RelayProcess, ProbeIsAnsweredFromTheListeningAddressWithEmptyStatus) {
    Udp client;
    const auto reply = probe(client, relay_at, nonce_of(1));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, kelvo::relay::probe_reply(nonce_of(1).data(), ""));
    std::vector<sockaddr_in> from;
    EXPECT_TRUE(device_gets(from, 300ms).empty()) << "a probe never reaches the devices";

    EXPECT_FALSE(probe(client, relay_at, Bytes(15, 1))) << "a short nonce is no probe";
    const auto again = probe(client, relay_at, nonce_of(2));
    ASSERT_TRUE(again);
    EXPECT_EQ(Bytes(again->begin() + 5, again->end()), nonce_of(2));
}

TEST(RelayProbe, ARelayWithNowhereToSendTellsItsReason) {
    Process relay(
        {KELVO_RELAY_PATH, "--listen", "127.0.0.1:0", "--interface", "kvnone0", "--verbose", "0"});
    const std::uint16_t port = port_in(relay.line());
    ASSERT_NE(port, 0);
    Udp client;
    const auto reply = probe(client, endpoint("127.0.0.1", port), nonce_of(3));
    ASSERT_TRUE(reply);
    ASSERT_GT(reply->size(), kelvo::relay::probe_reply_min);
    EXPECT_EQ(std::string(reply->begin() + kelvo::relay::probe_reply_min, reply->end()),
              "none of the --interface interfaces is up");
}

// ----------------------------------------------------------- socket hand-over

namespace {

std::uint16_t free_port() {
    Udp probe_port;
    return probe_port.port();
}

// How many ways of binding `port` as user nobody work (0: none), from a
// child process; -1 when that user cannot be taken.
int binds_as_another_user(std::uint16_t port) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(255);
        int bound = 0;
        for (const int reuse : {0, 1, 2}) {
            const int fd = socket(AF_INET, SOCK_DGRAM, 0);
            const int one = 1;
            if (reuse >= 1)
                setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            if (reuse >= 2)
                setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
            const sockaddr_in sa = endpoint("127.0.0.1", port);
            bound += bind(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) == 0;
            close(fd);
        }
        _exit(bound);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(RelayHandOver, ServesOnTheSocketOfTheServiceManagerAndNobodyElseBindsBesideIt) {
    if (access("/usr/bin/systemd-socket-activate", X_OK) != 0)
        GTEST_SKIP() << "systemd-socket-activate is not installed";
    const std::uint16_t port = free_port();
    const std::string at = "127.0.0.1:" + std::to_string(port);
    Process manager({"/usr/bin/systemd-socket-activate", "--datagram", "-l", at, KELVO_RELAY_PATH,
                     "--listen", "127.0.0.1:1", "--verbose", "0"});
    // The relay starts at the first datagram, which it then answers.
    Udp client;
    std::optional<Bytes> reply;
    for (int i = 0; i < 20 && !reply; ++i)
        reply = probe(client, endpoint("127.0.0.1", port), nonce_of(4));
    ASSERT_TRUE(reply) << "no answer on " << at;
    EXPECT_EQ(Bytes(reply->begin() + 5, reply->begin() + 21), nonce_of(4));
    EXPECT_EQ(manager.line(), "kelvo-relay listening " + at) << "--listen is not used";

    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to try the address as another user";
    EXPECT_EQ(binds_as_another_user(port), 0)
        << "not even with SO_REUSEADDR, which the manager set on the socket";
}

TEST(RelayHandOver, RefusesAHandOverItCannotServeOn) {
    const std::pair<std::string, std::string> cases[] = {
        {"exec 3</dev/null; LISTEN_FDS=1", "is not an AF_INET datagram socket"},
        {"exec 3<>/dev/null; LISTEN_FDS=2", "wants exactly one listening socket"},
    };
    for (const auto &[setup, message] : cases) {
        const std::string command = "sh -c '" + setup + " LISTEN_PID=$$ exec " + KELVO_RELAY_PATH +
                                    " --listen 127.0.0.1:0' 2>&1";
        std::FILE *p = popen(command.c_str(), "r");
        ASSERT_TRUE(p);
        std::string out;
        char b[256];
        while (std::fgets(b, sizeof b, p))
            out += b;
        const int status = pclose(p);
        EXPECT_EQ(WEXITSTATUS(status), 1) << setup;
        EXPECT_NE(out.find(message), std::string::npos) << out;
        EXPECT_EQ(out.find("kelvo-relay listening"), std::string::npos) << "it never binds instead";
    }
}

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

TEST(RelayChecks, LogTextShowsControlCharactersEscaped) {
    EXPECT_EQ(kelvo::relay::log_text("Mvx-Config"), "Mvx-Config");
    EXPECT_EQ(kelvo::relay::log_text("\x1b]0;x\x07"), "\\x1b]0;x\\x07");
    EXPECT_EQ(kelvo::relay::log_text("a\r\nkelvo-relay: b"), "a\\x0d\\x0akelvo-relay: b");
    EXPECT_EQ(kelvo::relay::log_text("\\x41"), "\\\\x41") << "a backslash cannot fake an escape";
    EXPECT_EQ(kelvo::relay::log_text("\xc3\xa9\x7f"), "\\xc3\\xa9\\x7f");
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
