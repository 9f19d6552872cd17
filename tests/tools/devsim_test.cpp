// The simulated fleet in-process: documents, authorisation, uploads, faults,
// the terminal, and the UDP search and setup side.
#include "devsim.h"
#include "documents.h"
#include "lab.h"

#include "tea.h"
#include "wire.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

using namespace kelvo::devsim;
using namespace kelvo::test;
using namespace std::chrono_literals;

namespace {

// "admin:secret"
const std::string kAdminSecret = "YWRtaW46c2VjcmV0";

// A started fleet of the standard mix on ephemeral ports, on addresses of
// its own so that tests running in parallel never meet.
struct FleetFixture : ::testing::Test {
    std::unique_ptr<Fleet> fleet;

    void start(std::size_t count, const std::string &first_ip) {
        FleetConfig cfg;
        cfg.udp_port = 0;
        cfg.devices = mixed_devices(count, true, first_ip);
        fleet = std::make_unique<Fleet>(cfg);
        std::string err;
        ASSERT_TRUE(fleet->start(&err)) << err;
    }
    DeviceState dev(std::size_t i) const { return fleet->device(i); }
    HttpAnswer ask(std::size_t i, const std::string &request,
                   std::chrono::milliseconds timeout = 5s) const {
        const auto d = dev(i);
        return http(d.config.ip, d.http_port, request, timeout);
    }
};

// Element text by path ("Root_Network_Name"), first match, via libxml2.
std::map<std::string, std::string> flatten(const std::string &xml, bool *well_formed = nullptr) {
    std::map<std::string, std::string> out;
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "x.xml", nullptr,
                                  XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NONET);
    if (well_formed)
        *well_formed = doc != nullptr;
    if (!doc)
        return out;
    std::function<void(xmlNode *, const std::string &)> walk = [&](xmlNode *n,
                                                                   const std::string &path) {
        for (xmlNode *c = n->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE)
                continue;
            const std::string p = path + "_" + reinterpret_cast<const char *>(c->name);
            xmlChar *t = xmlNodeGetContent(c);
            if (!out.count(p))
                out[p] = t ? reinterpret_cast<const char *>(t) : "";
            xmlFree(t);
            walk(c, p);
        }
    };
    walk(xmlDocGetRootElement(doc), "Root");
    xmlFreeDoc(doc);
    return out;
}

std::vector<std::uint8_t> search_once(const Fleet &f, std::vector<Bytes> &replies,
                                      std::chrono::milliseconds quiet = 500ms) {
    Udp client;
    EXPECT_TRUE(client.send_to(endpoint(f.udp_address(), f.udp_port()), search_request()));
    replies = client.collect(quiet);
    return {};
}

struct Decoded {
    qvudps_module m{};
    std::uint8_t raw_mac[6]{};
    bool authentic = false;
};

std::map<std::string, Decoded> decode_all(const std::vector<Bytes> &replies) {
    std::map<std::string, Decoded> out;
    for (const auto &r : replies) {
        Decoded d;
        if (!qvudps::decode_reply(r.data(), r.size(), d.m, d.raw_mac))
            continue;
        d.authentic = qvudps::reply_authentic(r.data(), r.size(), qvudps::builtin_search_key);
        out[d.m.mac] = d;
    }
    return out;
}

Bytes setup_message(const Decoded &stored, const qvudps_module &request,
                    const qvudps_tea_key &key) {
    Bytes b(qvudps::setup_max_size);
    const std::uint8_t flags = qvudps::merge_setup_flags(stored.m.raw_flags, request);
    b.resize(
        qvudps::encode_setup(request, stored.m, stored.raw_mac, flags, key, b.data(), b.size()));
    return b;
}

} // namespace

// ------------------------------------------------------------------ HTTP

TEST_F(FleetFixture, EveryModelServesWellFormedDocumentsThatFitTheClientBuffer) {
    start(6, "127.0.21.1");
    for (std::size_t i = 0; i < 6; ++i) {
        const auto d = dev(i);
        if (d.config.type == 7) {
            EXPECT_EQ(d.http_port, 0) << "a serial converter has no web server";
            continue;
        }
        for (const char *path : {"/values.xml", "/setup.xml"}) {
            const auto a = ask(i, get(path, d.config.http_user.empty() ? "" : kAdminSecret));
            ASSERT_EQ(a.status, 200) << d.config.mac << path;
            EXPECT_LT(a.body.size(), 19999u) << path;
            EXPECT_EQ(a.body.rfind("<?xml", 0), 0u);
            bool ok = false;
            const auto fields = flatten(a.body, &ok);
            EXPECT_TRUE(ok) << d.config.mac << path;
            EXPECT_EQ(fields.at("Root_Agent_DeviceName"), d.config.name);
            EXPECT_EQ(fields.at("Root_Agent_MAC"), d.config.mac);
            if (std::string(path) == "/setup.xml") {
                EXPECT_EQ(fields.at("Root_Network_IPAddr"), d.config.ip);
                EXPECT_EQ(fields.at("Root_Network_HTTPport"), std::to_string(d.config.port));
                EXPECT_EQ(fields.count("Root_User_Entry_Idx"), 1u);
                EXPECT_EQ(fields.count("Root_SnmpTraps_Entry_IPaddr"), 1u);
            } else if (d.config.model == "45") {
                EXPECT_NE(a.body.find("<val:Root"), std::string::npos);
                EXPECT_EQ(fields.count("Root_Meter_Val_alarm_start"), 1u);
                EXPECT_EQ(fields.count("Root_Input_cfg"), 1u);
            } else {
                EXPECT_EQ(fields.count("Root_SenSet_Entry_Value"), 1u);
            }
        }
    }
    // The largest lists still fit.
    DeviceConfig big;
    big.inputs = big.outputs = big.sensors = 100; // capped
    const Node tree = build_setup_tree(big);
    EXPECT_LT(setup_document(tree, big).size(), 19999u);
    EXPECT_LT(values_document(tree, big).size(), 19999u);
}

TEST_F(FleetFixture, SetupDocumentNeedsBasicAuthorisationWhenTheDeviceAsksForIt) {
    start(6, "127.0.22.1");
    const std::size_t secured = 5;
    ASSERT_FALSE(dev(secured).config.http_user.empty());
    auto a = ask(secured, get("/setup.xml"));
    EXPECT_EQ(a.status, 401);
    EXPECT_NE(a.head.find("WWW-Authenticate: Basic"), std::string::npos);
    EXPECT_EQ(ask(secured, get("/setup.xml", "YWRtaW46d3Jvbmc=")).status, 401); // admin:wrong
    EXPECT_EQ(ask(secured, post("/setup.xml", "<Root/>")).status, 401);
    EXPECT_EQ(ask(secured, get("/setup.xml", kAdminSecret)).status, 200);
    EXPECT_EQ(ask(secured, get("/values.xml")).status, 200) << "values are never protected";
    EXPECT_EQ(ask(0, get("/setup.xml")).status, 200);
    EXPECT_EQ(ask(0, get("/nothing")).status, 404);
    EXPECT_EQ(ask(0, "DELETE /setup.xml HTTP/1.0\r\n\r\n").status, 405);
    EXPECT_EQ(ask(0, "POST /setup.xml HTTP/1.0\r\n\r\n").status, 411);

    const auto log = fleet->log();
    const auto n401 = std::count_if(log.begin(), log.end(), [](const std::string &l) {
        return l.find("\"kind\":\"http\"") != std::string::npos &&
               l.find("\"status\":401") != std::string::npos;
    });
    EXPECT_EQ(n401, 3);
}

TEST_F(FleetFixture, UploadAppliesWritableElementsAndAnswersTheNewDocument) {
    start(1, "127.0.23.1");
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n"
        "<Agent><DeviceName>Hijack</DeviceName></Agent>\n"
        "<SnmpTraps><Entry><Idx>2</Idx><IPaddr>127.0.0.9</IPaddr>"
        "<E>1</E></Entry></SnmpTraps>\n"
        "<SenSet><Entry><Idx>1</Idx><Name>Boiler &amp; room</Name>"
        "<Value>99.9</Value><Dest><Snmp2>1</Snmp2></Dest></Entry></SenSet>\n"
        "<Network><Name>Lab 1</Name><DNSPrimary>1.2.3.4</DNSPrimary></Network>\n"
        "<Nonsense>1</Nonsense>\n</Root>\n";
    const auto a = ask(0, post("/setup.xml", body));
    ASSERT_EQ(a.status, 200);
    const auto f = flatten(a.body);
    EXPECT_EQ(f.at("Root_Network_Name"), "Lab 1");
    EXPECT_EQ(f.at("Root_Agent_DeviceName"), "Lab 1") << "the name is one setting";
    EXPECT_EQ(f.at("Root_SenSet_Entry_Name"), "Boiler & room");
    EXPECT_EQ(f.at("Root_SenSet_Entry_Value"), "21.5") << "readings are not writable";
    EXPECT_EQ(f.at("Root_SenSet_Entry_Dest_Snmp2"), "1");
    EXPECT_NE(a.body.find("<IPaddr>127.0.0.9</IPaddr>"), std::string::npos);
    EXPECT_EQ(f.at("Root_SnmpTraps_Entry_IPaddr"), "127.0.0.1") << "entry 1 untouched";
    EXPECT_EQ(fleet->device(0).config.name, "Lab 1");
    EXPECT_EQ(flatten(ask(0, get("/setup.xml")).body).at("Root_Network_Name"), "Lab 1")
        << "a later download shows the same";

    // The name upload of the discovery library: "HTTP 1.0" without a slash.
    const std::string upload = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<Network>\n"
                               "<Name>Boiler room</Name>\n</Network>\n</Root>";
    const auto b = ask(0, "POST /setup.xml HTTP 1.0\r\nContent-Type: text/xml\r\nContent-Length: " +
                              std::to_string(upload.size()) + "\r\n\r\n" + upload);
    EXPECT_EQ(b.status, 200);
    EXPECT_EQ(fleet->device(0).config.name, "Boiler room");
    EXPECT_TRUE(fleet->wait_log(
        [](const std::string &l) {
            return l.find("\"method\":\"POST\"") != std::string::npos &&
                   l.find("Boiler room") != std::string::npos &&
                   l.find("Root_Network_Name") != std::string::npos;
        },
        1s));

    EXPECT_EQ(ask(0, post("/setup.xml", "not xml at all")).status, 400);
}

TEST_F(FleetFixture, UploadOfANewAddressMovesTheListeners) {
    start(1, "127.0.24.1");
    const auto before = dev(0);
    const std::string moved = "127.0.24.77";
    const auto a = ask(
        0, post("/setup.xml", "<Root><Network><IPAddr>" + moved + "</IPAddr></Network></Root>"));
    ASSERT_EQ(a.status, 200) << "answered on the old connection";
    const auto after = dev(0);
    EXPECT_EQ(after.config.ip, moved);
    EXPECT_NE(after.http_port, 0);
    EXPECT_EQ(http(moved, after.http_port, get("/values.xml")).status, 200);
    EXPECT_EQ(http(before.config.ip, before.http_port, get("/values.xml")).status, 0);

    // Off loopback the device is gone from here, as on a real network.
    ask(0, post("/setup.xml", "<Root><Network><IPAddr>10.1.2.3</IPAddr></Network></Root>"));
    EXPECT_EQ(dev(0).http_port, 0);
    EXPECT_EQ(dev(0).config.ip, "10.1.2.3");
}

TEST_F(FleetFixture, HttpFaults) {
    start(1, "127.0.25.1");
    const std::string mac = dev(0).config.mac;
    Faults f;
    f.http_status = 403;
    fleet->set_faults(mac, f);
    EXPECT_EQ(ask(0, get("/setup.xml")).status, 403);

    f = {};
    f.malformed_xml = true;
    fleet->set_faults(mac, f);
    bool ok = true;
    auto a = ask(0, get("/setup.xml"));
    EXPECT_EQ(a.status, 200);
    flatten(a.body, &ok);
    EXPECT_FALSE(ok) << "the document must not be well-formed";

    f = {};
    f.oversize = 25000;
    fleet->set_faults(mac, f);
    a = ask(0, get("/values.xml"));
    EXPECT_GE(a.body.size(), 25000u);
    flatten(a.body, &ok);
    EXPECT_TRUE(ok) << "padding is a comment behind the root";

    f = {};
    f.slow_body_ms = 5;
    f.http_delay_ms = 50;
    fleet->set_faults(mac, f);
    a = ask(0, get("/setup.xml"));
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body.substr(a.body.size() - 8), "</Root>\n") << "arrives whole";
    flatten(a.body, &ok);
    EXPECT_TRUE(ok);

    f = {};
    f.http_silent = true;
    fleet->set_faults(mac, f);
    EXPECT_EQ(ask(0, get("/values.xml"), 700ms).status, 0);
}

// ------------------------------------------------------------------ terminal

TEST_F(FleetFixture, TerminalNegotiatesEchoesAndEditsTheLine) {
    start(1, "127.0.26.1");
    const auto d = dev(0);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = endpoint(d.config.ip, d.setup_port);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
    auto read_until = [&](const std::string &marker) { return receive_until(fd, marker, 3s, 3s); };
    auto say = [&](const std::string &s) { send(fd, s.data(), s.size(), MSG_NOSIGNAL); };

    const std::string hello = read_until("Choice: ");
    ASSERT_GE(hello.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(hello[0]), 255);
    EXPECT_EQ(static_cast<unsigned char>(hello[1]), 251);
    EXPECT_NE(hello.find("Set device name"), std::string::npos);

    say("\xff\xfd\x01"); // the client's own negotiation is not echoed
    say("ab\b");
    EXPECT_EQ(read_until("\b \b"), "ab\b \b");
    say("\b3\r");
    EXPECT_NE(read_until("New name: ").find("New name: "), std::string::npos);
    say("Lab 7\r");
    EXPECT_NE(read_until("Choice: ").find("Name set."), std::string::npos);
    EXPECT_EQ(dev(0).config.name, "Lab 7");
    say("1\r");
    EXPECT_NE(read_until("Choice: ").find(d.config.ip), std::string::npos);
    say("q\r");
    EXPECT_NE(read_until("Bye.").find("Bye."), std::string::npos);
    char b;
    pollfd p{fd, POLLIN, 0};
    ASSERT_GT(poll(&p, 1, 2000), 0);
    EXPECT_EQ(recv(fd, &b, 1, 0), 0) << "the device hangs up after Quit";
    close(fd);

    // Every byte typed is in the log, in order, however TCP cut it up.
    std::string typed;
    for (const auto &l : fleet->log()) {
        const auto at = l.find("\"bytes\":\"");
        if (l.find("\"kind\":\"terminal\"") != std::string::npos && at != std::string::npos)
            typed += l.substr(at + 9, l.find('"', at + 9) - at - 9);
    }
    EXPECT_EQ(typed.rfind("fffd01616208", 0), 0u) << typed;
}

// ------------------------------------------------------------------ UDP

TEST_F(FleetFixture, SearchGetsOneSignedReplyPerDeviceWithItsFields) {
    start(6, "127.0.27.1");
    std::vector<Bytes> replies;
    search_once(*fleet, replies);
    ASSERT_EQ(replies.size(), 6u);
    const auto found = decode_all(replies);
    ASSERT_EQ(found.size(), 6u);
    for (const auto &s : fleet->devices()) {
        const auto &d = found.at(s.config.mac);
        EXPECT_TRUE(d.authentic);
        EXPECT_STREQ(d.m.ip, s.config.ip.c_str());
        EXPECT_STREQ(d.m.mask, s.config.mask.c_str());
        EXPECT_EQ(d.m.port, s.config.port);
        EXPECT_EQ(qvudps::type_code_of(d.m.raw_type), s.config.type);
        if (s.config.type == 31) {
            EXPECT_STREQ(d.m.name, s.config.name.c_str());
            EXPECT_STREQ(d.m.type_name, s.config.type_name.c_str());
            EXPECT_EQ(d.m.type, s.config.ext_type);
            EXPECT_EQ(d.m.web_port, s.http_port);
            EXPECT_EQ(d.m.tcp_setup_port, s.setup_port);
            EXPECT_EQ(d.m.setup_auth_required, s.config.setup_auth_required ? 1 : 0);
        } else {
            EXPECT_EQ(d.m.tea_enabled, s.config.tea_enabled ? 1 : 0);
        }
    }
    EXPECT_TRUE(fleet->wait_log(
        [](const std::string &l) { return l.find("\"kind\":\"search\"") != std::string::npos; },
        1s));
}

TEST_F(FleetFixture, SearchFaultsDropDuplicateDelayAndMissign) {
    start(4, "127.0.28.1");
    Faults drop, dup, bad, late;
    drop.drop_replies = true;
    dup.duplicate_replies = 2;
    bad.bad_auth = true;
    late.reply_delay_ms = 300;
    fleet->set_faults(dev(0).config.mac, drop);
    fleet->set_faults(dev(1).config.mac, dup);
    fleet->set_faults(dev(2).config.mac, bad);
    fleet->set_faults(dev(3).config.mac, late);
    std::vector<Bytes> replies;
    search_once(*fleet, replies, 800ms);
    std::map<std::string, int> copies;
    std::map<std::string, bool> authentic;
    for (const auto &r : replies) {
        qvudps_module m{};
        std::uint8_t mac[6];
        ASSERT_TRUE(qvudps::decode_reply(r.data(), r.size(), m, mac));
        ++copies[m.mac];
        authentic[m.mac] = qvudps::reply_authentic(r.data(), r.size(), qvudps::builtin_search_key);
    }
    EXPECT_EQ(copies.count(dev(0).config.mac), 0u);
    EXPECT_EQ(copies[dev(1).config.mac], 3);
    EXPECT_FALSE(authentic[dev(2).config.mac]);
    EXPECT_EQ(copies[dev(3).config.mac], 1);
    EXPECT_TRUE(authentic[dev(3).config.mac]);
}

TEST_F(FleetFixture, SetupMessageIsAppliedOnlyWithTheRightKeyAndMovesTheDevice) {
    start(6, "127.0.29.1");
    std::vector<Bytes> replies;
    search_once(*fleet, replies);
    auto found = decode_all(replies);
    Udp client;
    const auto fleet_at = endpoint(fleet->udp_address(), fleet->udp_port());

    // Plain device: signed with the search key.
    const auto plain = dev(0);
    Decoded stored = found.at(plain.config.mac);
    qvudps_module req = stored.m;
    std::snprintf(req.ip, sizeof req.ip, "127.0.29.200");
    std::snprintf(req.gateway, sizeof req.gateway, "127.0.29.254");
    req.port = static_cast<std::uint16_t>(plain.config.port); // keep the port
    req.dhcp_enabled = 1;
    req.dhcp_supported = 0; // never changes bit 3
    qvudps_tea_key wrong = qvudps::builtin_search_key;
    wrong.k0 ^= 1;
    ASSERT_TRUE(client.send_to(fleet_at, setup_message(stored, req, wrong)));
    ASSERT_TRUE(fleet->wait_log(
        [](const std::string &l) { return l.find("bad authentication code") != std::string::npos; },
        2s));
    EXPECT_EQ(dev(0).config.ip, plain.config.ip);

    ASSERT_TRUE(client.send_to(fleet_at, setup_message(stored, req, qvudps::builtin_search_key)));
    ASSERT_TRUE(fleet->wait_log(
        [](const std::string &l) {
            return l.find("\"kind\":\"move\"") != std::string::npos &&
                   l.find("127.0.29.200") != std::string::npos;
        },
        2s));
    auto now = dev(0);
    EXPECT_EQ(now.config.ip, "127.0.29.200");
    EXPECT_EQ(now.config.gateway, "127.0.29.254");
    EXPECT_TRUE(now.config.dhcp_enabled);
    EXPECT_TRUE(now.config.dhcp_supported);
    EXPECT_EQ(http("127.0.29.200", now.http_port, get("/values.xml")).status, 200);

    // Defaults flag: back to the first settings.
    req.load_defaults = 1;
    ASSERT_TRUE(client.send_to(fleet_at, setup_message(stored, req, qvudps::builtin_search_key)));
    ASSERT_TRUE(fleet->wait_log(
        [](const std::string &l) { return l.find("\"defaults\":true") != std::string::npos; }, 2s));
    now = dev(0);
    EXPECT_EQ(now.config.ip, plain.config.ip);
    EXPECT_FALSE(now.config.dhcp_enabled);
    EXPECT_EQ(now.defaults_loaded, 1u);

    // Extended device with authorised setup: only the login's setup key will
    // do, and the name entry renames it.
    const auto secured = dev(5);
    ASSERT_TRUE(secured.config.setup_auth_required);
    stored = found.at(secured.config.mac);
    req = stored.m;
    std::snprintf(req.name, sizeof req.name, "Renamed");
    ASSERT_TRUE(client.send_to(fleet_at, setup_message(stored, req, qvudps::builtin_search_key)));
    qvudps_tea_key login{};
    ASSERT_TRUE(qvudps::setup_key_from_login("admin", "secret", login));
    ASSERT_TRUE(client.send_to(fleet_at, setup_message(stored, req, login)));
    ASSERT_TRUE(fleet->wait_log(
        [](const std::string &l) { return l.find("\"name\":\"Renamed\"") != std::string::npos; },
        2s));
    EXPECT_EQ(dev(5).config.name, "Renamed");
    EXPECT_EQ(dev(5).setups_applied, 1u) << "the one signed with the search key was refused";

    // Garbage is logged and the fleet keeps answering.
    client.send_to(fleet_at, Bytes{1, 2, 3});
    ASSERT_TRUE(fleet->wait_log(
        [](const std::string &l) { return l.find("\"kind\":\"udp\"") != std::string::npos; }, 2s));
    search_once(*fleet, replies);
    found = decode_all(replies);
    EXPECT_STREQ(found.at(secured.config.mac).m.name, "Renamed");
}

// ------------------------------------------------------------------ fleet file

TEST(FleetFile, ReadsDevicesFaultsAndTheMixAndRefusesNonsense) {
    const std::string path = ::testing::TempDir() + "/lab_fleet.json";
    {
        std::ofstream f(path);
        f << R"({"udp": "127.0.0.2:0", "log": "x.jsonl", "ephemeral": true, "count": 3,
                 "first_ip": "127.0.30.10",
                 "devices": [{"mac": "02:00:00:00:00:AA", "type": 31, "name": "Alpha",
                              "ip": "127.0.30.1", "type_name": "Custom",
                              "faults": {"reply_delay_ms": 250, "http_status": 403}}]})";
    }
    FleetConfig cfg;
    std::string err;
    ASSERT_TRUE(load_fleet_file(path, cfg, &err)) << err;
    EXPECT_EQ(cfg.udp_port, 0);
    EXPECT_EQ(cfg.log_path, "x.jsonl");
    ASSERT_EQ(cfg.devices.size(), 4u);
    EXPECT_EQ(cfg.devices[0].name, "Alpha");
    EXPECT_EQ(cfg.devices[0].port, 0);
    EXPECT_EQ(cfg.devices[0].faults.reply_delay_ms, 250);
    EXPECT_EQ(cfg.devices[0].faults.http_status, 403);
    EXPECT_EQ(cfg.devices[1].ip, "127.0.30.10");

    for (const char *bad : {R"({"devices": [{"ip": "192.168.1.5"}]})",
                            R"({"devices": [{"faults": {"explode": true}}]})",
                            R"({"devices": [{"type": 40}]})", R"({"udp": "nowhere"})", "[1, 2"}) {
        std::ofstream(path) << bad;
        FleetConfig c;
        EXPECT_FALSE(load_fleet_file(path, c, &err)) << bad;
        EXPECT_FALSE(err.empty());
    }
    std::remove(path.c_str());

    FleetConfig outside;
    outside.udp_address = "0.0.0.0";
    Fleet f(outside);
    EXPECT_FALSE(f.start(&err)) << "never listens beyond loopback";
}
