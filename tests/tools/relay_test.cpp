// The relay's datagram checks, and the kelvo-relay program between test
// clients and a scripted device socket on loopback.
#include "relay_test.h"
#include "lab.h"
#include "net.h"
#include "relay.h"
#include "relay_net.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <map>
#include <net/if.h>
#include <optional>

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

TEST(RelayChecks, LogTextShowsControlCharactersEscaped) {
    EXPECT_EQ(kelvo::relay::log_text("Mvx-Config"), "Mvx-Config");
    EXPECT_EQ(kelvo::relay::log_text("\x1b]0;x\x07"), "\\x1b]0;x\\x07");
    EXPECT_EQ(kelvo::relay::log_text("a\r\nkelvo-relay: b"), "a\\x0d\\x0akelvo-relay: b");
    EXPECT_EQ(kelvo::relay::log_text("\\x41"), "\\\\x41") << "a backslash cannot fake an escape";
    EXPECT_EQ(kelvo::relay::log_text("\xc3\xa9\x7f"), "\\xc3\\xa9\\x7f");
}
