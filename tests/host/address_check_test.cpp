#include "kelvohost.h"
#include "qvtext.h"

#include <gtest/gtest.h>

#include "test_sockets.h"

#include <cstring>
#include <deque>
#include <string>
#include <tuple>
#include <vector>

using namespace kelvo::host;

namespace {

const std::string kOutOfRange = "IP address is out of your local network range!\r\n\r\n"
                                "Are you sure to use this conflict IP address?";
const std::string kNetwork = "IP address is local network address!\r\n\r\n"
                             "Are you sure to use this conflict IP address?";
const std::string kBroadcast = "IP address is local broadcast address!\r\n\r\n"
                               "Are you sure to use this conflict IP address?";
const std::string kBadParams = "Some of network parameters is not correct?";

// Answers questions from a script and records everything shown, in order.
class ScriptedPrompts : public HostPrompts {
public:
    explicit ScriptedPrompts(std::deque<bool> answers = {}) : answers_(std::move(answers)) {}
    void error(const std::string &text) override { shown.push_back("error: " + text); }
    bool confirm(const std::string &text) override {
        shown.push_back("ask: " + text);
        return next();
    }
    bool confirmOutOfRange(const std::string &ip, const std::string &network) override {
        shown.push_back("range: " + ip + " " + network);
        return next();
    }
    std::vector<std::string> shown;

private:
    bool next() {
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question";
            return false;
        }
        const bool a = answers_.front();
        answers_.pop_front();
        return a;
    }
    std::deque<bool> answers_;
};

void usePc(const std::string &ip, const std::string &mask, const std::string &gateway = "") {
    ASSERT_EQ(ReadLocalAdapter([&](std::vector<AdapterEntry> &out) {
                  out.push_back({"eth0", ip, mask, gateway});
                  return 0;
              }),
              0);
}

} // namespace

TEST(ReadLocalAdapter, ChoosesFirstAdapterWithAddressAndMask) {
    const int rc = ReadLocalAdapter([](std::vector<AdapterEntry> &out) {
        out.push_back({"a", "", "255.255.255.0", "10.0.0.1"});
        out.push_back({"b", "0.0.0.0", "255.0.0.0", "10.0.0.1"});
        out.push_back({"c", "10.1.1.1", "", "10.0.0.1"});
        out.push_back({"d", "192.168.1.10", "255.255.255.0", "192.168.1.1"});
        out.push_back({"e", "10.0.0.5", "255.0.0.0", "10.0.0.1"});
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(LocalIpText, "192.168.1.10");
    EXPECT_EQ(LocalNetmaskText, "255.255.255.0");
    EXPECT_EQ(LocalGatewayText, "192.168.1.1");
    const unsigned char addr[4] = {192, 168, 1, 10}, mask[4] = {255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(&LocalAddress, addr, 4), 0) << "network byte order";
    EXPECT_EQ(std::memcmp(&LocalNetmask, mask, 4), 0);
}

TEST(ReadLocalAdapter, FailureOrNoAdapterLeavesEverythingEmpty) {
    usePc("192.168.1.10", "255.255.255.0", "192.168.1.1");
    EXPECT_EQ(ReadLocalAdapter([](std::vector<AdapterEntry> &) { return -1; }), -1);
    EXPECT_EQ(LocalAddress, 0u);
    EXPECT_EQ(LocalNetmask, 0u);
    EXPECT_EQ(LocalIpText + LocalNetmaskText + LocalGatewayText, "");

    usePc("192.168.1.10", "255.255.255.0", "192.168.1.1");
    EXPECT_EQ(ReadLocalAdapter([](std::vector<AdapterEntry> &out) {
                  out.push_back({"a", "0.0.0.0", "0.0.0.0", ""});
                  return 0;
              }),
              0);
    EXPECT_EQ(LocalAddress, 0u);
    EXPECT_EQ(LocalIpText, "");
    EXPECT_EQ(LocalGatewayText, "");

    // Without an adapter every parseable address counts as local.
    ScriptedPrompts p;
    EXPECT_TRUE(CheckNewAddress("10.1.2.3", "255.0.0.0", "10.0.0.1", p));
    EXPECT_EQ(CheckReachable("192.168.7.7", p, [](const std::string &) { return 1; }), 0);
    EXPECT_TRUE(p.shown.empty());
}

TEST(CheckNewAddress, UnparseableTextsAreRefused) {
    usePc("192.168.1.10", "255.255.255.0");
    for (const auto &[ip, mask, gw] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"192.168.1.300", "255.255.255.0", "192.168.1.1"},
             {"010.0.0.1", "255.255.255.0", "192.168.1.1"},
             {"192.168.1.20", "255.255.255.0", "192.168.01.1"},
             {"255.255.255.255", "255.255.255.0", "192.168.1.1"},
             {"192.168.1.20", "255.255.255.255", "192.168.1.1"},
             {"192.168.1.20", "255.255.255.0", "gateway"},
             {"", "255.255.255.0", "192.168.1.1"},
         }) {
        ScriptedPrompts p;
        EXPECT_FALSE(CheckNewAddress(ip, mask, gw, p)) << ip << " " << mask << " " << gw;
        EXPECT_EQ(p.shown, std::vector<std::string>{"error: " + kBadParams});
    }
}

TEST(CheckNewAddress, QuestionsAgainstPcNetwork) {
    usePc("192.168.1.10", "255.255.255.0");
    struct Case {
        std::string ip;
        std::string question; // "" = nothing asked
    };
    for (const Case &c : {Case{"192.168.2.5", kOutOfRange}, Case{"192.168.1.0", kNetwork},
                          Case{"192.168.1.255", kBroadcast}, Case{"192.168.1.20", ""}}) {
        for (bool yes : {true, false}) {
            ScriptedPrompts p({yes});
            const bool go = CheckNewAddress(c.ip, "255.255.255.0", "192.168.1.1", p);
            if (c.question.empty()) {
                EXPECT_TRUE(go) << c.ip;
                EXPECT_TRUE(p.shown.empty()) << c.ip;
            } else {
                EXPECT_EQ(go, yes) << c.ip;
                EXPECT_EQ(p.shown, std::vector<std::string>{"ask: " + c.question}) << c.ip;
            }
        }
    }
}

TEST(CheckNewAddress, PcMaskDecidesNotTypedMask) {
    usePc("192.168.1.10", "255.255.255.0");
    ScriptedPrompts p({false});
    EXPECT_FALSE(CheckNewAddress("192.168.2.5", "255.255.0.0", "192.168.1.1", p));
    EXPECT_EQ(p.shown, std::vector<std::string>{"ask: " + kOutOfRange});
}

TEST(CheckNewAddress, NetworkAndBroadcastQuestionsInTurn) {
    // With a host mask the PC's own address is both network and broadcast address.
    usePc("192.168.1.10", "255.255.255.255");
    ScriptedPrompts both({true, true});
    EXPECT_TRUE(CheckNewAddress("192.168.1.10", "255.255.255.0", "192.168.1.1", both));
    EXPECT_EQ(both.shown, (std::vector<std::string>{"ask: " + kNetwork, "ask: " + kBroadcast}));

    ScriptedPrompts second({true, false});
    EXPECT_FALSE(CheckNewAddress("192.168.1.10", "255.255.255.0", "192.168.1.1", second));
    EXPECT_EQ(second.shown.size(), 2u);

    ScriptedPrompts first({false});
    EXPECT_FALSE(CheckNewAddress("192.168.1.10", "255.255.255.0", "192.168.1.1", first));
    EXPECT_EQ(first.shown, std::vector<std::string>{"ask: " + kNetwork});
}

namespace {
struct PingLog {
    int result = 1;
    std::vector<std::string> pinged;
    PingFunction fn() {
        return [this](const std::string &ip) {
            pinged.push_back(ip);
            return result;
        };
    }
};
} // namespace

TEST(CheckReachable, OnlyPrivate192168NetworksAreChecked) {
    usePc("10.0.0.5", "255.0.0.0");
    PingLog ping;
    ScriptedPrompts p;
    EXPECT_EQ(CheckReachable("192.168.1.5", p, ping.fn()), 0);

    usePc("192.168.1.10", "255.255.255.0");
    EXPECT_EQ(CheckReachable("10.1.1.1", p, ping.fn()), 0);
    EXPECT_EQ(CheckReachable("192.168.1.20", p, ping.fn()), 0) << "same network";
    EXPECT_TRUE(ping.pinged.empty());
    EXPECT_TRUE(p.shown.empty());
}

TEST(CheckReachable, BadAddressIsReportedWithoutPing) {
    usePc("192.168.1.10", "255.255.255.0");
    PingLog ping;
    for (const char *ip : {"192.168.1.x", "192.168.1.256", "192.168.01.5"}) {
        ScriptedPrompts p;
        EXPECT_EQ(CheckReachable(ip, p, ping.fn()), -2) << ip;
        EXPECT_EQ(p.shown, std::vector<std::string>{"error: Device IP address is not correct!"});
    }
    EXPECT_TRUE(ping.pinged.empty());
}

TEST(CheckReachable, OutsideNetworkAsksOnlyWithoutPingReply) {
    usePc("192.168.1.10", "255.255.255.0");
    PingLog ping;
    ping.result = 0;
    ScriptedPrompts quiet;
    EXPECT_EQ(CheckReachable("192.168.5.20", quiet, ping.fn()), 0);
    EXPECT_EQ(ping.pinged, std::vector<std::string>{"192.168.5.20"});
    EXPECT_TRUE(quiet.shown.empty());

    for (int result : {1, -1}) {
        ping.result = result;
        ScriptedPrompts yes({true}), no({false});
        EXPECT_EQ(CheckReachable("192.168.5.20", yes, ping.fn()), 0);
        EXPECT_EQ(yes.shown, std::vector<std::string>{"range: 192.168.5.20 192.168.1.X"});
        EXPECT_EQ(CheckReachable("192.168.5.20", no, ping.fn()), -3);
    }
}

TEST(CheckReachable, NetworkTextReplacesOnlyLastCharacter) {
    usePc("192.168.1.200", "255.255.255.128");
    PingLog ping;
    ScriptedPrompts p({true});
    EXPECT_EQ(CheckReachable("192.168.1.5", p, ping.fn()), 0);
    EXPECT_EQ(p.shown, std::vector<std::string>{"range: 192.168.1.5 192.168.1.12X"});
    std::uint32_t address = 0, mask = 0;
    ASSERT_TRUE(qv::parse_dotted_ipv4("10.20.30.40", address));
    ASSERT_TRUE(qv::parse_dotted_ipv4("255.255.0.0", mask));
    EXPECT_EQ(NetworkText(address, mask), "10.20.0.X");
}

TEST(BrowserUrl, PortIsAlwaysWritten) {
    EXPECT_EQ(BrowserUrl("www.example.com", 80), "http://www.example.com:80");
    EXPECT_EQ(BrowserUrl("192.168.1.5", 8080), "http://192.168.1.5:8080");
}
