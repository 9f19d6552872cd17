// End to end: the discovery library searches through a real kelvo-relay
// process and finds every device of a real kelvo-devsim process; a setup
// through the relay changes a device, seen in the next search and in the
// simulator's log.
#include "lab.h"
#include "peers.h"
#include "test_files.h"

#include "qvudps.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

using namespace kelvo::test;
using namespace std::chrono_literals;

namespace {

struct Expected {
    std::string ip;
    unsigned type = 0;
    unsigned port = 0;
    std::string name;
};

// "MAC IP type=T port=P http=H setup=S name=NAME"
std::pair<std::string, Expected> parse_device_line(const std::string &line) {
    std::istringstream in(line);
    std::string mac, tok;
    Expected e;
    in >> mac >> e.ip;
    while (in >> tok) {
        if (tok.rfind("type=", 0) == 0)
            e.type = static_cast<unsigned>(std::stoul(tok.substr(5)));
        else if (tok.rfind("port=", 0) == 0)
            e.port = static_cast<unsigned>(std::stoul(tok.substr(5)));
        else if (tok.rfind("name=", 0) == 0)
            break;
    }
    const auto at = line.find(" name=");
    e.name = at == std::string::npos ? "" : line.substr(at + 6);
    return {mac, e};
}

std::map<std::string, qvudps_module> search(bool name_lookup) {
    std::map<std::string, qvudps_module> found;
    EXPECT_EQ(qvudps_search(name_lookup ? 1 : 0, nullptr), 0);
    EXPECT_TRUE(wait_search(30s));
    for (const qvudps_module &m : all_records())
        found[m.mac] = m;
    EXPECT_EQ(static_cast<std::size_t>(qvudps_count()), found.size());
    return found;
}

} // namespace

TEST(LabEndToEnd, SearchAndSetupThroughTheRelayReachEverySimulatedDevice) {
    const std::string log_path = ::testing::TempDir() + "/lab_e2e_log.jsonl";
    std::remove(log_path.c_str());
    const std::size_t count = 12;
    const auto lab = Lab::processes(
        {"--count", std::to_string(count), "--first-ip", "127.0.31.1", "--log", log_path});
    ASSERT_TRUE(lab->ok()) << lab->error();
    std::map<std::string, Expected> expected;
    for (const std::string &line : lab->device_lines())
        expected.insert(parse_device_line(line));
    ASSERT_EQ(expected.size(), count);
    const std::uint16_t relay_port = lab->relay_port();

    ASSERT_EQ(qvudps_init(), 0);
    ASSERT_EQ(qvudps_set_proxy("127.0.0.1", relay_port, "Mvx-Config"), 0);

    auto found = search(true);
    ASSERT_EQ(found.size(), count);
    for (const auto &[mac, e] : expected) {
        ASSERT_EQ(found.count(mac), 1u) << mac;
        const qvudps_module &m = found[mac];
        EXPECT_STREQ(m.ip, e.ip.c_str());
        EXPECT_EQ(m.port, e.port);
        EXPECT_EQ(qvudps::type_code_of(m.raw_type), e.type);
        // The extended devices name themselves in the reply, the thermometer
        // and the meter over HTTP; the I/O box and the converter have none.
        if (e.type == 31 || e.type == 2 || e.type == 13)
            EXPECT_EQ(std::string(m.name), e.name) << mac;
        else
            EXPECT_STREQ(m.name, "") << mac;
    }

    // Move the first thermometer to a new address through the relay.
    const auto target = std::find_if(expected.begin(), expected.end(),
                                     [](const auto &kv) { return kv.second.type == 2; });
    ASSERT_NE(target, expected.end());
    qvudps_module settings = found[target->first];
    std::snprintf(settings.ip, sizeof settings.ip, "127.0.31.222");
    settings.dhcp_enabled = 1;
    std::snprintf(settings.name, sizeof settings.name, "Boiler room");
    // name_upload 1: after the message the library posts the new name to the
    // device's new address over HTTP.
    ASSERT_EQ(qvudps_setup(&settings, 1, nullptr), 0);
    ASSERT_TRUE(wait_setup(20s));

    found = search(true);
    ASSERT_EQ(found.count(target->first), 1u);
    EXPECT_STREQ(found[target->first].ip, "127.0.31.222");
    EXPECT_EQ(found[target->first].dhcp_enabled, 1);
    EXPECT_STREQ(found[target->first].name, "Boiler room");
    EXPECT_EQ(found.size(), count);

    const std::string log = read_file(log_path);
    EXPECT_NE(log.find("\"kind\":\"setup\",\"mac\":\"" + target->first + "\",\"applied\":true"),
              std::string::npos)
        << log.substr(0, 2000);
    EXPECT_NE(log.find("\"ip\":\"127.0.31.222\""), std::string::npos);
    EXPECT_NE(log.find("\"method\":\"POST\",\"path\":\"/setup.xml\""), std::string::npos);
    // The device answers at its new address.
    const auto moved = log.find("\"kind\":\"move\",\"mac\":\"" + target->first);
    EXPECT_NE(moved, std::string::npos);
    EXPECT_EQ(
        http("127.0.31.222", static_cast<std::uint16_t>(target->second.port), get("/values.xml"))
            .status,
        200);

    qvudps_uninit();
    EXPECT_EQ(lab->stop_relay(), 0);
    EXPECT_EQ(lab->stop_devsim(), 0);
}

TEST(LabPrograms, DevsimTakesFaultsAndAFleetFileAndRefusesBadOptions) {
    const std::string fleet_path = ::testing::TempDir() + "/lab_programs_fleet.json";
    {
        std::ofstream f(fleet_path);
        f << R"({"udp": "127.0.0.2:0", "ephemeral": true,
                 "devices": [{"type": 2, "name": "From file", "ip": "127.0.34.1"},
                             {"type": 20, "ip": "127.0.34.2"}]})";
    }
    Process devsim({KELVO_DEVSIM_PATH, "--fleet", fleet_path, "--fault", "1:http_status=403"});
    ASSERT_NE(devsim.line().find(" devices 2"), std::string::npos);
    const auto first = parse_device_line(devsim.line());
    const auto second = parse_device_line(devsim.line());
    EXPECT_EQ(first.second.name, "From file");
    EXPECT_EQ(
        http(first.second.ip, static_cast<std::uint16_t>(first.second.port), get("/values.xml"))
            .status,
        200);
    EXPECT_EQ(
        http(second.second.ip, static_cast<std::uint16_t>(second.second.port), get("/values.xml"))
            .status,
        403);
    EXPECT_EQ(devsim.stop(), 0);
    std::remove(fleet_path.c_str());

    const std::vector<std::vector<std::string>> bad = {
        {KELVO_DEVSIM_PATH, "--count", "many"},
        {KELVO_DEVSIM_PATH, "--listen", "nowhere"},
        {KELVO_DEVSIM_PATH, "--count", "2", "--fault", "7:bad_auth"},
        {KELVO_DEVSIM_PATH, "--count", "2", "--fault", "0:explode"},
        {KELVO_DEVSIM_PATH, "--fleet", "/nonexistent/fleet.json"},
        {KELVO_RELAY_PATH, "--repeat", "0"},
        {KELVO_RELAY_PATH, "--listen", "nowhere:1"},
        {KELVO_RELAY_PATH, "--devices", "127.0.0.2:0"},
        {KELVO_RELAY_PATH, "--linger", "-1"},
    };
    for (const auto &argv : bad) {
        Process p(argv);
        // No first line: the program ended (its stdout closed) before serving.
        EXPECT_EQ(p.line(5s), "") << argv[1] << " " << argv[2];
        EXPECT_EQ(p.stop(), 2) << argv[1] << " " << argv[2];
    }
}
