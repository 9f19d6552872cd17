// The relay's datagram checks, and the kelvo-relay program between test
// clients and a scripted device socket on loopback.
#include "lab_support.h"
#include "relay.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

using namespace std::chrono_literals;
using kelvo::relay::Verdict;

namespace {

Verdict verdict(const lab::Bytes &d, const std::string &from = "127.0.0.1") {
    udps::ProxyHeader h{};
    const std::uint8_t *payload = nullptr;
    std::size_t len = 0;
    return kelvo::relay::check_datagram(lab::endpoint(from, 5555), d.data(), d.size(), h, payload,
                                        len);
}

} // namespace

TEST(RelayChecks, AcceptsOnlyWellFormedDatagramsFromThisPc) {
    const lab::Bytes search = lab::wrap(udps::proxy_search, lab::search_request(), "Mvx-Config");
    EXPECT_EQ(verdict(search), Verdict::ok);
    EXPECT_EQ(verdict(search, "127.44.0.9"), Verdict::ok) << "all of 127/8 is this PC";
    EXPECT_EQ(verdict(lab::wrap(udps::proxy_setup, lab::Bytes(51, 7))), Verdict::ok);

    EXPECT_EQ(verdict(search, "192.168.1.20"), Verdict::not_loopback);
    EXPECT_EQ(verdict(search, "10.0.0.1"), Verdict::not_loopback);
    EXPECT_EQ(verdict(search, "128.0.0.1"), Verdict::not_loopback);

    EXPECT_EQ(verdict(lab::Bytes(search.begin(), search.begin() + 18)), Verdict::too_short);
    EXPECT_EQ(verdict(lab::Bytes(search.begin(), search.end() - 1)), Verdict::too_short)
        << "a payload shorter than 48 bytes is no request";
    EXPECT_EQ(verdict({}), Verdict::too_short);

    lab::Bytes kind7 = search;
    kind7[0] = 7;
    EXPECT_EQ(verdict(kind7), Verdict::bad_kind);
    kind7[0] = 0;
    EXPECT_EQ(verdict(kind7), Verdict::bad_kind);

    lab::Bytes crc = search;
    crc[17] ^= 1;
    EXPECT_EQ(verdict(crc), Verdict::bad_crc);
    lab::Bytes body = search;
    body[40] ^= 0x80;
    EXPECT_EQ(verdict(body), Verdict::bad_crc) << "the CRC covers the payload";
}

TEST(RelayChecks, BroadcastTargetsAreNonLoopbackInterfacesOnPort9999) {
    for (const auto &t : kelvo::relay::broadcast_targets(9999)) {
        EXPECT_NE(ntohl(t.sin_addr.s_addr) >> 24, 127u);
        EXPECT_EQ(ntohs(t.sin_port), 9999);
    }
}

namespace {

// kelvo-relay unicasting to one scripted device socket.
struct RelayProcess : ::testing::Test {
    lab::Udp device{"127.0.0.1"};
    std::unique_ptr<lab::Process> relay;
    sockaddr_in relay_at{};

    void SetUp() override {
        relay = std::make_unique<lab::Process>(std::vector<std::string>{
            KELVO_RELAY_PATH, "--listen", "127.0.0.1:0", "--devices",
            "127.0.0.1:" + std::to_string(device.port()), "--linger", "1", "--verbose", "0"});
        const std::string first = relay->line();
        ASSERT_NE(first.find("kelvo-relay listening 127.0.0.1:"), std::string::npos) << first;
        relay_at = lab::endpoint("127.0.0.1", lab::port_in(first));
    }

    // What the device got within `quiet`, with the sources.
    std::vector<lab::Bytes> device_gets(std::vector<sockaddr_in> &from,
                                        std::chrono::milliseconds quiet = 400ms) {
        return device.collect(quiet, 5s, &from);
    }
};

lab::Bytes reply_bytes(std::uint8_t tag) {
    lab::Bytes r(60, tag);
    r[59] = 0xFF;
    return r;
}

} // namespace

TEST_F(RelayProcess, SearchIsSentTwiceAndEveryReplyComesBackUnchangedFromTheRelay) {
    lab::Udp client;
    const lab::Bytes request = lab::search_request();
    ASSERT_TRUE(client.send_to(relay_at, lab::wrap(udps::proxy_search, request, "Mvx-Config")));
    std::vector<sockaddr_in> from;
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 2u) << "sent twice, 100 ms apart";
    EXPECT_EQ(got[0], request) << "the payload leaves without the header";
    EXPECT_EQ(got[1], request);
    EXPECT_EQ(from[0].sin_port, from[1].sin_port) << "both from the request's own socket";

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
    lab::Bytes late;
    EXPECT_FALSE(client.receive(late, nullptr, 300ms));
}

TEST_F(RelayProcess, SetupIsSentOnceAndNothingComesBack) {
    lab::Udp client;
    const lab::Bytes setup(51, 0x42);
    ASSERT_TRUE(client.send_to(relay_at, lab::wrap(udps::proxy_setup, setup)));
    std::vector<sockaddr_in> from;
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], setup);
    device.send_to(from[0], reply_bytes(1));
    lab::Bytes none;
    EXPECT_FALSE(client.receive(none, nullptr, 300ms));
}

TEST_F(RelayProcess, MalformedDatagramsAreDroppedAndTheRelayKeepsServing) {
    lab::Udp client;
    lab::Bytes good = lab::wrap(udps::proxy_search, lab::search_request());
    lab::Bytes kind7 = good;
    kind7[0] = 7;
    lab::Bytes crc = good;
    crc[18] ^= 0x55;
    for (const lab::Bytes &bad : {lab::Bytes{1}, lab::Bytes(good.begin(), good.begin() + 30), kind7,
                                  crc, lab::Bytes(600, 1)})
        ASSERT_TRUE(client.send_to(relay_at, bad));
    std::vector<sockaddr_in> from;
    EXPECT_TRUE(device_gets(from, 300ms).empty()) << "nothing malformed reaches the devices";

    ASSERT_TRUE(client.send_to(relay_at, good));
    const auto got = device_gets(from);
    ASSERT_EQ(got.size(), 2u);
    device.send_to(from[0], reply_bytes(5));
    lab::Bytes r;
    ASSERT_TRUE(client.receive(r, nullptr, 2s));
    EXPECT_EQ(r, reply_bytes(5));
}

TEST_F(RelayProcess, ServesSeveralClientsAtOnceEachWithItsOwnReplies) {
    lab::Udp a, b;
    ASSERT_TRUE(a.send_to(relay_at, lab::wrap(udps::proxy_search, lab::search_request(), "A")));
    ASSERT_TRUE(b.send_to(relay_at, lab::wrap(udps::proxy_search, lab::search_request(), "B")));
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
