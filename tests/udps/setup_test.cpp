#include "names.h"
#include "peers.h"
#include "state.h"
#include "tea.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

namespace {

using namespace kelvo::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

EventLog hooks_seen;

// The kind-2 datagrams the relay got, decoded.
std::vector<Bytes> setup_payloads(RelayPeer &relay) {
    std::vector<Bytes> out;
    for (const Datagram &d : relay.received()) {
        qvudps::ProxyHeader h;
        const uint8_t *payload;
        size_t len;
        if (qvudps::decode_proxy_datagram(d.bytes.data(), d.bytes.size(), h, payload, len) ==
                qvudps::ProxyStatus::ok &&
            h.kind == qvudps::proxy_setup)
            out.emplace_back(payload, payload + len);
    }
    return out;
}

class Setup : public ::testing::Test {
protected:
    RelayPeer relay;

    void SetUp() override {
        restart_library();
        hooks_seen.clear();
        qvudps_callbacks cb{};
        cb.on_setup_done = [](void *) { hooks_seen.add("done"); };
        cb.on_setup_error = [](void *, const qvudps_error_info *e) {
            hooks_seen.add(std::string("error:") + e->message);
        };
        qvudps_callback(&cb);
        qvudps_set_proxy("127.0.0.1", relay.port(), "Mvx-Config");
    }
    void TearDown() override { qvudps_uninit(); }

    // Runs a search that finds `devices`; returns the stored records.
    std::vector<qvudps_module *> find(const std::vector<qvudps_module> &devices) {
        RelayPeer::Script script;
        for (const auto &d : devices)
            script.push_back({reply_of(d)});
        relay.set_scripts({script});
        EXPECT_EQ(qvudps_search(0, nullptr), 0);
        EXPECT_TRUE(wait_search(30s));
        std::vector<qvudps_module *> out;
        qvudps_rewind();
        qvudps_module *p;
        while (qvudps_record(&p) == 0)
            out.push_back(p);
        return out;
    }
};

TEST_F(Setup, UnknownDeviceOrBadAddressSendsNothing) {
    auto recs = find({make_device(1, 2)});
    ASSERT_EQ(recs.size(), 1u);
    const uint8_t flags_before = recs[0]->raw_flags;

    qvudps_module req = *recs[0];
    std::strcpy(req.mac, "02:00:00:00:00:99");
    ASSERT_EQ(qvudps_setup(&req, 1, nullptr), 0);
    ASSERT_TRUE(wait_setup(3s)) << "nothing to wait for without a device";
    EXPECT_EQ(hooks_seen.get(), (std::vector<std::string>{"error:Module not exist", "done"}));

    // Every address field is checked; 255.255.255.255 itself is a valid mask.
    const char *bad[] = {"192.168.1", "192.168.1.300", "", "1.2.3.4x", "::1"};
    for (int i = 0; i < 5; ++i) {
        hooks_seen.clear();
        req = *recs[0];
        req.tea_enabled = 1;
        std::strcpy(req.mask, "255.255.255.255");
        char *targets[] = {req.ip, req.mask, req.gateway, req.filter_ip, req.filter_mask};
        std::strcpy(targets[i], bad[i]);
        ASSERT_EQ(qvudps_setup(&req, 1, nullptr), 0);
        ASSERT_TRUE(wait_setup(3s));
        EXPECT_EQ(hooks_seen.get(),
                  (std::vector<std::string>{"error:IP address not valid", "done"}));
    }
    EXPECT_EQ(recs[0]->raw_flags, flags_before) << "a refused setup changes nothing";
    EXPECT_TRUE(setup_payloads(relay).empty());
}

TEST_F(Setup, SignedMessageThenNameUploadAtTheNewAddress) {
    HttpPeer web(HttpReply::whole("HTTP/1.0 200 OK\r\n\r\n"));
    auto recs = find({make_device(1, 7), make_device(2, 2)});
    ASSERT_EQ(recs.size(), 2u);
    qvudps_module *dev = recs[1];
    dev->raw_flags |= 0xC0; // bits that are only echoed
    std::strcpy(dev->ip, "127.0.0.1");
    std::strcpy(dev->mask, "255.255.255.255");
    std::strcpy(dev->gateway, "127.0.0.254");
    dev->port = web.port();
    std::strcpy(dev->name, "R&D <lab> \"A\" 'B'");
    dev->nvt_enabled = 1;
    dev->dhcp_enabled = 1;
    dev->dhcp_supported = 0; // never reaches the wire

    const auto asked = Clock::now();
    ASSERT_EQ(qvudps_setup(dev, 1, nullptr), 0);
    // Once the message is out the worker waits for the device: busy.
    ASSERT_TRUE(relay.wait_received(2, 5s));
    // A refused search must not switch the upload off.
    EXPECT_EQ(qvudps_search(0, nullptr), -1);
    EXPECT_EQ(last_message(), "Action not success");
    EXPECT_EQ(qvudps_setup(dev, 0, nullptr), -1);

    std::this_thread::sleep_until(asked + 5500ms);
    EXPECT_EQ(qvudps_setup_finish(), -1) << "the device gets 6 s to take the settings";
    ASSERT_TRUE(wait_setup(20s));
    EXPECT_EQ(hooks_seen.get(), std::vector<std::string>{"done"});

    const auto payloads = setup_payloads(relay);
    ASSERT_EQ(payloads.size(), 1u);
    ASSERT_EQ(payloads[0].size(), 48u);
    EXPECT_EQ(relay.received()[1].bytes.size(), 67u);
    EXPECT_TRUE(qvudps::tea_check(payloads[0].data(), qvudps::builtin_search_key));
    qvudps::SetupMessage s;
    ASSERT_TRUE(qvudps::decode_setup(payloads[0].data(), payloads[0].size(), s));
    EXPECT_STREQ(s.mac_text, dev->mac);
    EXPECT_STREQ(s.ip, "127.0.0.1");
    EXPECT_STREQ(s.mask, "255.255.255.255");
    EXPECT_STREQ(s.gateway, "127.0.0.254");
    EXPECT_EQ(s.port, web.port());
    EXPECT_EQ(s.flags, 0xC0 | qvudps::flag_nvt | qvudps::flag_tcp_setup |
                           qvudps::flag_dhcp_supported | qvudps::flag_dhcp)
        << "bits 3, 6 and 7 as received";
    EXPECT_EQ(std::memcmp(s.token, dev->token, 8), 0);

    ASSERT_TRUE(web.wait_requests(1, 5000));
    EXPECT_GE(web.first_connection() - asked, 6000ms);
    const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<Network>\n"
                             "<Name>R&amp;D &lt;lab&gt; &quot;A&quot; &apos;B&apos;</Name>\n"
                             "</Network>\n</Root>";
    EXPECT_EQ(web.requests()[0], "POST /setup.xml HTTP/1.0\r\nContent-Type: text/xml\r\n"
                                 "Content-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(qvudps::name_upload_body("Lab 1").size(), 93u);
}

TEST_F(Setup, NameTheSearchDidNotReadIsNeverUploaded) {
    HttpPeer web(HttpReply::whole("HTTP/1.0 200 OK\r\n\r\n"));
    // Searched without the lookup: the record's name is empty, as after a
    // lookup that met a mute web server.
    auto recs = find({make_device(1, 2, "127.0.0.1", 80)});
    ASSERT_EQ(recs.size(), 1u);
    ASSERT_STREQ(recs[0]->name, "");
    recs[0]->port = web.port();
    recs[0]->nvt_enabled = 1;
    ASSERT_EQ(qvudps_setup(recs[0], 1, nullptr), 0);
    ASSERT_TRUE(wait_setup(20s));
    EXPECT_EQ(setup_payloads(relay).size(), 1u);
    EXPECT_EQ(web.connections(), 0) << "the name was not changed";
}

TEST_F(Setup, ExtendedDeviceDefaultsSignedWithTheSetupKey) {
    HttpPeer web(HttpReply::whole("HTTP/1.0 200 OK\r\n\r\n"));
    auto ext = make_device(5, 31, "127.0.0.1", web.port());
    ext.setup_auth_required = 1;
    ext.defaults_supported = 1;
    ext.name_supported = 1;
    std::strcpy(ext.name, "Old");
    ext.type = 2;
    auto recs = find({ext});
    ASSERT_EQ(recs.size(), 1u);
    ASSERT_EQ(recs[0]->setup_auth_required, 1);

    qvudps_tea_key key;
    ASSERT_TRUE(qvudps::setup_key_from_login("admin", "secret", key));
    qvudps_set_setup_tea_keys(key.k0, key.k1, key.k2, key.k3);
    recs[0]->load_defaults = 1;
    std::strcpy(recs[0]->name, "Tank 3");
    ASSERT_EQ(qvudps_setup(recs[0], 0, nullptr), 0);
    ASSERT_TRUE(wait_setup(20s));

    const auto payloads = setup_payloads(relay);
    ASSERT_EQ(payloads.size(), 1u);
    ASSERT_EQ(payloads[0].size(), 51u + 6);
    EXPECT_TRUE(qvudps::tea_check(payloads[0].data(), key));
    EXPECT_FALSE(qvudps::tea_check(payloads[0].data(), qvudps::builtin_search_key));
    qvudps::SetupMessage s;
    ASSERT_TRUE(qvudps::decode_setup(payloads[0].data(), payloads[0].size(), s));
    EXPECT_TRUE(s.has_name);
    EXPECT_STREQ(s.name, "Tank 3");
    EXPECT_EQ(s.flags & qvudps::flag_defaults, qvudps::flag_defaults);
    EXPECT_STREQ(s.ip, ext.ip) << "defaults carry the device's own values";
    EXPECT_EQ(web.connections(), 0) << "an extended device never gets the HTTP upload";
}

TEST_F(Setup, SearchAndSetupInOneWakeUp) {
    HttpPeer web(HttpReply::whole("HTTP/1.0 200 OK\r\n\r\n"));
    auto first = find({make_device(1, 5)});
    ASSERT_EQ(first.size(), 1u);

    // The second search finds a device the first did not; the setup asked
    // for with it must find it in the table that search fills.
    const auto fresh = make_device(9, 7, "127.0.0.1", web.port());
    relay.set_scripts({{{reply_of(fresh)}}});
    qvudps_module req = fresh;
    {
        // Holding the library lock, both are asked for before the worker
        // can look at either, however the threads are scheduled.
        qvudps::Guard g;
        ASSERT_EQ(qvudps_search(0, nullptr), 0);
        ASSERT_EQ(qvudps_setup(&req, 1, nullptr), 0);
    }
    ASSERT_TRUE(wait_search(30s));
    ASSERT_TRUE(wait_setup(30s));

    const auto got = relay.received();
    ASSERT_GE(got.size(), 3u);
    const Datagram &search = got[got.size() - 2];
    const Datagram &setup = got.back();
    EXPECT_EQ(search.bytes[0], qvudps::proxy_search);
    EXPECT_EQ(setup.bytes[0], qvudps::proxy_setup);
    EXPECT_EQ(search.source_port, setup.source_port) << "one socket per wake-up";
    EXPECT_EQ(hooks_seen.get(), std::vector<std::string>{"done"});
    EXPECT_EQ(web.connections(), 0) << "type 7 is not in the name set";
}

} // namespace
