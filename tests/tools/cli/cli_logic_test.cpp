// The command line's own logic without a network: texts, file names, the
// planning and checking of a setup, and output formats.
#include "console.h"
#include "deviceoutput.h"
#include "devicetext.h"
#include "discovery.h"
#include "passwords.h"
#include "setupplan.h"
#include "textutil.h"
#include "transfer.h"

#include "hostadapter.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <thread>
#include <tuple>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace kelvo;
using namespace kelvo::cli;

namespace {

template <std::size_t N> void Set(char (&field)[N], const char *text) {
    std::snprintf(field, N, "%s", text);
}

qvudps_module Device(const char *mac, const char *name, const char *ip, unsigned port) {
    qvudps_module m{};
    Set(m.mac, mac);
    Set(m.name, name);
    Set(m.ip, ip);
    Set(m.mask, "255.255.255.0");
    Set(m.gateway, "192.168.1.1");
    Set(m.filter_ip, "0.0.0.0");
    Set(m.filter_mask, "0.0.0.0");
    m.port = static_cast<std::uint16_t>(port);
    return m;
}

// Scripted answers; records every text shown.
struct ScriptedPrompts : kelvo::host::HostPrompts {
    bool answer = false;
    std::vector<std::string> shown;
    void error(const std::string &text) override { shown.push_back(text); }
    bool confirm(const std::string &text) override {
        shown.push_back(text);
        return answer;
    }
    bool confirmOutOfRange(const std::string &ip, const std::string &net) override {
        shown.push_back(ip + " " + net);
        return answer;
    }
};

void UseAdapter(const char *ip, const char *mask) {
    kelvo::host::ReadLocalAdapter([&](std::vector<kelvo::host::AdapterEntry> &out) {
        out.push_back({"eth0", ip, mask, ""});
        return 0;
    });
}

} // namespace

TEST(CliText, NumbersAddressesAndSwitches) {
    int v = 0;
    EXPECT_TRUE(ParseNumber("65535", 0, 65535, &v));
    EXPECT_EQ(v, 65535);
    for (const char *bad : {"", "65536", "-1", "+5", " 5", "5x", "99999999999"})
        EXPECT_FALSE(ParseNumber(bad, 0, 65535, &v)) << bad;

    EXPECT_TRUE(IsDottedIPv4("0.0.0.0"));
    EXPECT_TRUE(IsDottedIPv4("255.255.255.255"));
    for (const char *bad :
         {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "1.2.3.4 ", "a.b.c.d", "0001.2.3.4", ""})
        EXPECT_FALSE(IsDottedIPv4(bad)) << bad;

    bool on = false;
    EXPECT_TRUE(ParseSwitch("ON", &on));
    EXPECT_TRUE(on);
    EXPECT_TRUE(ParseSwitch("off", &on));
    EXPECT_FALSE(on);
    EXPECT_FALSE(ParseSwitch("maybe", &on));

    std::string mac;
    EXPECT_TRUE(ParseMac("02-4b-56-00-00-0a", &mac));
    EXPECT_EQ(mac, "02:4B:56:00:00:0A");
    EXPECT_FALSE(ParseMac("02:4b-56:00:00:0a", nullptr)); // mixed separators
    EXPECT_FALSE(ParseMac("024b5600000a", nullptr));

    Route route;
    std::string error;
    EXPECT_TRUE(ParseRelay("127.0.0.1:40000", route, &error));
    EXPECT_EQ(route.relayPort, 40000);
    EXPECT_TRUE(ParseRelay("127.0.0.5", route, &error));
    EXPECT_EQ(route.relayPort, 9999);
    EXPECT_FALSE(ParseRelay("127.0.0.1:0", route, &error));
    EXPECT_FALSE(ParseRelay("localhost:9999", route, &error));
}

TEST(CliText, Utf8CutsNeverSplitACharacter) {
    EXPECT_EQ(CutUtf8("abc", 33), "abc");
    // 16 two-byte characters are 32 bytes; a 17th does not fit into 33.
    std::string name;
    for (int i = 0; i < 17; ++i)
        name += "\xC3\xA4";
    EXPECT_EQ(CutUtf8(name, 33).size(), 32u);
    EXPECT_EQ(CutUtf8("x" + name, 33).size(), 33u);
    EXPECT_EQ(DisplayWidth("\xC3\xA4"
                           "b"),
              2u);
}

TEST(CliText, TablesAndCsv) {
    const std::string table =
        FormatTable({"A", "Long header"}, {{"\xC3\xA4\xC3\xA4\xC3\xA4", "x"}});
    EXPECT_EQ(table, "A    Long header\n\xC3\xA4\xC3\xA4\xC3\xA4  x\n");
    EXPECT_EQ(FormatCsv({"a", "b"}, {{"x,y", "say \"hi\""}, {"line\nbreak", ""}}),
              "a,b\n\"x,y\",\"say \"\"hi\"\"\"\n\"line\nbreak\",\n");
}

TEST(CliText, DeviceTextsNeverReachTheTerminalRaw) {
    const std::pair<const char *, const char *> shown[] = {
        {"\x1b[2J\x1b]0;owned\x07", "\\x1b[2J\\x1b]0;owned\\x07"},
        {"a\rb\nc\td\x7f", "a\\x0db\\x0ac\\x09d\\x7f"},
        {"\xc2\x9b"
         "31m",
         "\\u009b31m"},                      // C1 CSI
        {"\x9b\xff\xc3", "\\x9b\\xff\\xc3"}, // not UTF-8
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"}, // a surrogate
        {"K\xc3\xbc"
         "che \xe2\x82\xac",
         "K\xc3\xbc"
         "che \xe2\x82\xac"}, // kept
        // Right-to-left override, zero-width space, isolate, line separator,
        // byte order mark, invisible tag: they hide or reorder text.
        {"a\u202eb\u200bc\u2066d\u2028e\ufefff\U000E0041",
         "a\\u202eb\\u200bc\\u2066d\\u2028e\\ufefff\\U000e0041"}};
    for (const auto &[raw, visible] : shown)
        EXPECT_EQ(Visible(raw), visible);
    EXPECT_EQ(FormatTable({"Name"}, {{"\x1b[31mX"}}), "Name\n\\x1b[31mX\n");
    EXPECT_EQ(FormatCsv({"Name"}, {{"\x1b[31m\u202eX"}}), "Name\n\\x1b[31m\\u202eX\n");
    std::ostringstream out, err;
    Console console(out, err, true, false);
    console.progress("Box\x1b]0;t\x07", "");
    console.error("name\rforged");
    EXPECT_EQ(err.str().find('\x07'), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("kelvo-cli: name\\x0dforged\n"), std::string::npos) << err.str();

    EXPECT_EQ(FormatCsv({"a", "b", "c", "d", "e", "f", "g"},
                        {{"=HYPERLINK(1)", "+1+1", "-2+3", "@SUM(A1)", "\tx", "-5.2", "+7"}}),
              "a,b,c,d,e,f,g\n'=HYPERLINK(1),'+1+1,'-2+3,'@SUM(A1),'\tx,-5.2,+7\n");
    EXPECT_EQ(FormatCsv({"a"}, {{"\rx"}}), "a\n\"'\rx\"\n");

    // What the CSV protects comes back as it was when the list is fed back.
    const std::vector<std::string> names = {"=x", "+1+1", "-2+3", "@a",   "\tx",  "\rx",
                                            "'",  "'=x",  "''",   "-5.2", "'abc", "plain"};
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(CsvUnprotected(CsvSafe(names[i])), names[i]);
        rows.push_back({"02:00:00:00:00:" + std::to_string(10 + i), names[i]});
    }
    std::vector<PlannedSetup> plan;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSettingsCsv(FormatCsv({"MAC", "Name"}, rows), plan, errors)) << errors[0];
    ASSERT_EQ(plan.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(*plan[i].changes.name, names[i]);

    // JSON stays JSON: the name comes back exactly.
    qvudps_module m = Device("02:00:00:00:00:01", "\x1b[2J\x07", "10.0.0.1", 80);
    const auto list =
        QJsonDocument::fromJson(QByteArray::fromStdString(FormatDevices({m}, Format::Json)))
            .array();
    EXPECT_EQ(list[0].toObject()["name"].toString().toStdString(), "\x1b[2J\x07");
}

TEST(CliDeviceText, OptionsSummaryAsTheDeviceTableShowsIt) {
    qvudps_module m{};
    EXPECT_EQ(ParametersText(m), "TCP setup=N");
    m.tcp_setup_enabled = 1;
    m.tea_supported = 1;
    m.dhcp_supported = 1;
    EXPECT_EQ(ParametersText(m), "TCP setup=Y, TEA=N, DHCP=N");
    m.nvt_supported = 1;
    m.nvt_enabled = 1;
    m.dhcp_enabled = 2; // only 1 counts as on
    EXPECT_EQ(ParametersText(m), "TCP setup=Y, TEA=N, NVT=Y, DHCP=N");

    EXPECT_TRUE(SupportsConfigFiles(2));
    EXPECT_TRUE(SupportsConfigFiles(0x100 + 40)); // low eight bits
    EXPECT_FALSE(SupportsConfigFiles(7));
    EXPECT_FALSE(SupportsConfigFiles(20));
}

TEST(CliDeviceText, FileNamesStayInsideTheFolder) {
    EXPECT_EQ(SuggestedFileName("", "10.0.0.5", 8080), "10_0_0_5_8080");
    EXPECT_EQ(SuggestedFileName("Boiler room", "10.0.0.5", 80), "Boiler room");
    EXPECT_EQ(SafeXmlFileName("Boiler room"), "Boiler room.xml");
    EXPECT_EQ(SafeXmlFileName("lab.XML"), "lab.XML");
    EXPECT_EQ(SafeXmlFileName("../../etc/passwd"), "_._.._etc_passwd.xml");
    EXPECT_EQ(SafeXmlFileName(std::string("a\tb\x01:c")), "a_b__c.xml");
    // Visible names only, and the bytes on disk are valid UTF-8.
    for (const char *hidden : {".", "..", "...", " . ", ""})
        EXPECT_EQ(SafeXmlFileName(hidden), "_.xml") << hidden;
    EXPECT_EQ(SafeXmlFileName(".bashrc"), "_bashrc.xml");
    EXPECT_EQ(SafeXmlFileName("\xff"), "\xef\xbf\xbd.xml");
    EXPECT_EQ(SafeXmlFileName("K\xc3\xa9s\xed\xa0\x80"),
              "K\xc3\xa9s\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd.xml");

    const std::vector<qvudps_module> devices = {Device("02:00:00:00:00:01", "Tank", "10.0.0.1", 80),
                                                Device("02:00:00:00:00:02", "Tank", "10.0.0.2", 80),
                                                Device("02:00:00:00:00:03", "", "10.0.0.3", 81),
                                                Device("02:00:00:00:00:04", "a/b", "10.0.0.4", 80)};
    EXPECT_EQ(BackupFileNames(devices),
              (std::vector<std::string>{"Tank.xml", "Tank_020000000002.xml", "10_0_0_3_81.xml",
                                        "a_b.xml"}));

    // A device named like another's fallback, and names already in the folder.
    const std::vector<qvudps_module> boxes = {
        Device("02:00:00:00:00:01", "Box", "10.0.0.1", 80),
        Device("02:00:00:00:00:02", "Box_020000000003", "10.0.0.2", 80),
        Device("02:00:00:00:00:03", "Box", "10.0.0.3", 80),
        Device("02:00:00:00:00:04", "box", "10.0.0.4", 80)};
    EXPECT_EQ(BackupFileNames(boxes, {"BOX_020000000004.XML"}),
              (std::vector<std::string>{"Box.xml", "Box_020000000003.xml", "Box_020000000003_2.xml",
                                        "box_020000000004_2.xml"}));
    // Names that differ only in bytes that are not UTF-8 differ on disk too.
    EXPECT_EQ(BackupFileNames({Device("02:00:00:00:00:01", "\xff", "10.0.0.1", 80),
                               Device("02:00:00:00:00:02", "\xfe", "10.0.0.2", 80)}),
              (std::vector<std::string>{"\xef\xbf\xbd.xml", "\xef\xbf\xbd_020000000002.xml"}));
}

TEST(CliPasswords, PromptReadsALineWithoutEcho) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    kelvo::host::Secret line;
    bool read = false, tooLong = false;
    std::thread reader([&] { read = ReadHiddenLine(slave, "Password: ", &line, &tooLong); });
    // What the terminal shows, until `until` appears (bounded).
    std::string shown;
    auto showUntil = [&](const std::string &until) {
        char buf[64];
        pollfd p = {master, POLLIN, 0};
        while (shown.find(until) == std::string::npos && poll(&p, 1, 10000) > 0) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                break;
            shown.append(buf, static_cast<size_t>(n));
        }
    };
    showUntil("Password: "); // echo is off once the prompt is out
    ASSERT_EQ(write(master, "s3cret\n", 7), 7);
    reader.join();
    showUntil("\n");
    EXPECT_TRUE(read);
    EXPECT_EQ(line.view(), "s3cret");
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(shown.find("s3cret"), std::string::npos) << shown;
    termios now{};
    ASSERT_EQ(tcgetattr(slave, &now), 0);
    EXPECT_TRUE(now.c_lflag & ECHO); // restored
    close(master);
    close(slave);
    EXPECT_FALSE(ReadHiddenLine(-1, "x", &line, &tooLong));
}

TEST(CliSetupPlan, ChangesOnlyWhatIsGivenAndComparesIt) {
    qvudps_module device = Device("02:00:00:00:00:01", "Old", "192.168.1.20", 80);
    device.name_supported = 1;
    SetupChanges c;
    EXPECT_TRUE(c.empty());
    c.ip = "192.168.1.30";
    c.name = std::string(40, 'n');
    c.tea = true;
    EXPECT_EQ(UnsupportedChange(device, c), "this device does not support TEA authorisation");
    device.tea_supported = 1;
    EXPECT_NE(UnsupportedChange(device, c).find("40 bytes"), std::string::npos)
        << "a name is refused, never cut";
    c.name = std::string(33, 'n');
    EXPECT_EQ(UnsupportedChange(device, c), "");

    qvudps_module settings = device;
    ApplyChanges(settings, c);
    EXPECT_STREQ(settings.ip, "192.168.1.30");
    EXPECT_EQ(std::string(settings.name), std::string(33, 'n'));
    EXPECT_EQ(settings.tea_enabled, 1);
    EXPECT_STREQ(settings.mask, "255.255.255.0");
    EXPECT_EQ(settings.port, 80);

    // The device reports exactly what was sent (the name as cut).
    EXPECT_TRUE(Mismatches(settings, c).empty());
    const auto wrong = Mismatches(device, c);
    ASSERT_EQ(wrong.size(), 3u);
    EXPECT_EQ(wrong[0], "ip: expected 192.168.1.30, device reports 192.168.1.20");
    EXPECT_EQ(wrong[2], "tea: expected on, device reports off");

    // Switching DHCP on lets the device choose its address.
    c.dhcp = true;
    qvudps_module dhcp = settings;
    Set(dhcp.ip, "192.168.1.77");
    dhcp.dhcp_enabled = 1;
    EXPECT_TRUE(Mismatches(dhcp, c).empty());
}

TEST(CliSetupPlan, SettingsFilesAndAddressRanges) {
    // A search output edited by hand: read-only columns ignored, quotes,
    // CRLF, a byte order mark, a protected cell and an empty cell.
    std::vector<PlannedSetup> plan;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSettingsCsv("\xEF\xBB\xBFMAC,Name,IP,Parameters,Port\r\n"
                                 "02-4b-56-00-00-01,\"Hall, east\",10.0.0.7,\"TEA=Y, NVT=N\",\r\n"
                                 "\r\n"
                                 "02:4B:56:00:00:02,'=1+1,,x,8080\n",
                                 plan, errors))
        << errors[0];
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].mac, "02:4B:56:00:00:01");
    EXPECT_EQ(*plan[0].changes.name, "Hall, east");
    EXPECT_EQ(*plan[0].changes.ip, "10.0.0.7");
    EXPECT_FALSE(plan[0].changes.port);
    EXPECT_EQ(plan[1].line, 4);
    EXPECT_EQ(*plan[1].changes.name, "=1+1");
    EXPECT_FALSE(plan[1].changes.ip);
    EXPECT_EQ(*plan[1].changes.port, 8080);

    // Each faulty file is refused as a whole with the line that is wrong.
    const std::pair<const char *, const char *> bad[] = {
        {"MAC,IP\n02:4B:56:00:00:01,10.0.0.1\n02:4B:56:00:00:02,10.0.0.300\n", "line 3"},
        {"MAC,IP\n02:4B:56:00:00:01,10.0.0.1\n02:4B:56:00:00:01,10.0.0.2\n", "twice"},
        {"MAC,IP\n02:4B:56:00:00:01\n", "1 cells"},
        {"MAC,Port\nzz:4B:56:00:00:01,80\n", "not a MAC"},
        {"MAC,Port\n02:4B:56:00:00:01,65536\n", "Port"},
        {"IP\n10.0.0.1\n", "no MAC column"},
        {"MAC,Colour\n02:4B:56:00:00:01,red\n", "unknown column"},
        {"MAC,IP,ip\n", "twice"},
        {"MAC,Name\n02:4B:56:00:00:01,\"open\n", "quote not closed"},
        {"MAC,Name\n02:4B:56:00:00:01,\"a\"b\n", "after a closing quote"},
        {"MAC\n", "names no device"},
        {"", "empty"}};
    for (const auto &[text, why] : bad) {
        EXPECT_FALSE(ParseSettingsCsv(text, plan, errors)) << text;
        EXPECT_TRUE(plan.empty()) << text;
        ASSERT_FALSE(errors.empty()) << text;
        EXPECT_NE(errors[0].find(why), std::string::npos) << text << " -> " << errors[0];
    }

    std::vector<std::string> ips;
    std::string error;
    ASSERT_TRUE(AddressRange("10.0.0.254", 3, ips, &error));
    EXPECT_EQ(ips, (std::vector<std::string>{"10.0.0.254", "10.0.0.255", "10.0.1.0"}));
    EXPECT_TRUE(AddressRange("10.0.0.1-10.0.0.3", 3, ips, &error));
    for (const char *range :
         {"10.0.0.1-10.0.0.2", "10.0.0.5-10.0.0.1", "255.255.255.254", "10.0.0.1-", "10.0.0.x"})
        EXPECT_FALSE(AddressRange(range, 3, ips, &error)) << range;

    // Fields the device already reports are not changes.
    SetupChanges c;
    c.ip = "192.168.1.5";
    c.port = 80;
    c.name = "Other";
    const SetupChanges diff =
        OnlyDifferences(Device("02:00:00:00:00:01", "Other", "192.168.1.5", 80), c);
    EXPECT_TRUE(diff.empty());
    // A name longer than a setup writes, and one the CSV showed escaped, as
    // the search reported them: no change either.
    c.name = "Boiler room, second floor, cabinet 7";
    EXPECT_TRUE(OnlyDifferences(Device("02:00:00:00:00:01", c.name->c_str(), "192.168.1.5", 80), c)
                    .empty());
    c.name = CsvText("Tank\x1b\u202e");
    EXPECT_TRUE(OnlyDifferences(Device("02:00:00:00:00:01", "Tank\x1b\u202e", "192.168.1.5", 80), c)
                    .empty());
}

TEST(CliSetupPlan, AddressesNoDeviceShouldGetAreRefused) {
    const std::tuple<const char *, const char *, const char *> table[] = {
        {"10.0.0.1", "255.255.255.0", ""},
        {"10.0.0.254", "255.255.255.0", ""},
        {"10.0.0.1", "255.255.255.254", ""}, // a /31 has no network or broadcast
        {"10.0.0.255", "255.255.255.0", "broadcast address of 10.0.0.0/24"},
        {"10.0.2.0", "255.255.254.0", "network address of 10.0.2.0/23"},
        {"10.0.0.5", "255.0.255.0", "not a subnet mask"},
        {"10.0.0.5", "0.0.0.255", "not a subnet mask"},
        {"10.0.0.5", "0.0.0.0", "not a subnet mask"},
        {"010.0.0.1", "255.0.0.0", "not a dotted IPv4 address"},
        {"0.0.0.7", "255.0.0.0", "not an address"},
        {"224.0.0.1", "255.0.0.0", "not an address"}};
    for (const auto &[ip, mask, why] : table) {
        const std::string fault = kelvo::host::AddressFault(ip, mask);
        if (*why == '\0')
            EXPECT_EQ(fault, "") << ip << "/" << mask;
        else
            EXPECT_NE(fault.find(why), std::string::npos) << ip << "/" << mask << ": " << fault;
    }
    qvudps_module device = Device("02:00:00:00:00:01", "", "10.0.0.20", 80);
    SetupChanges c;
    c.ip = "10.0.0.255";
    EXPECT_NE(UnsupportedChange(device, c).find("broadcast"), std::string::npos);
    c.dhcp = true;
    device.dhcp_supported = 1;
    EXPECT_EQ(UnsupportedChange(device, c), "") << "DHCP chooses the address";

    // A range that runs into the next subnet.
    std::vector<qvudps_module> range = {Device("02:00:00:00:00:01", "", "10.0.0.253", 80),
                                        Device("02:00:00:00:00:02", "", "10.0.1.1", 80)};
    EXPECT_NE(RangeFault(range).find("10.0.1.1 lies outside the subnet 10.0.0.0/24"),
              std::string::npos);
    Set(range[1].ip, "10.0.0.254");
    EXPECT_EQ(RangeFault(range), "");
}

TEST(CliSetupPlan, PingsOfABatchRunTogetherWithinTheirBound) {
    for (const std::size_t n : {std::size_t{5}, kParallelPings + 8}) {
        std::mutex mu;
        std::condition_variable cv;
        std::size_t active = 0, most = 0;
        const std::size_t expect = std::min(n, kParallelPings);
        std::vector<std::string> addresses;
        for (std::size_t i = 0; i < n; ++i)
            addresses.push_back("10.0.0." + std::to_string(i + 1));
        addresses.push_back("10.0.0.1"); // asked once only
        const auto answers = PingAll(addresses, [&](const std::string &ip) {
            std::unique_lock lock(mu);
            most = std::max(most, ++active);
            cv.notify_all();
            // Hold until the batch's first wave is in, or give up.
            cv.wait_for(lock, std::chrono::seconds(10), [&] { return most >= expect; });
            --active;
            return ip == "10.0.0.2" ? 0 : 1;
        });
        EXPECT_EQ(most, expect);
        ASSERT_EQ(answers.size(), n);
        EXPECT_EQ(answers.at("10.0.0.2"), 0);
        EXPECT_EQ(answers.at("10.0.0.1"), 1);
    }
}

TEST(CliSetupPlan, AsksTheDetailDialogsQuestions) {
    UseAdapter("192.168.1.10", "255.255.255.0");
    int pings = 0;
    auto ping = [&](int answer) {
        return [&pings, answer](const std::string &) {
            ++pings;
            return answer;
        };
    };
    qvudps_module r = Device("02:00:00:00:00:01", "", "192.168.1.20", 80);
    ScriptedPrompts prompts;
    std::vector<std::string> notes;

    // Nothing to ask: same network, nobody answers the ping.
    EXPECT_TRUE(AskBeforeSetup(r, "192.168.1.5", true, prompts, ping(1), &notes));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(pings, 1);

    // Unchanged address: the device itself would answer, so no ping.
    EXPECT_TRUE(AskBeforeSetup(r, "192.168.1.20", true, prompts, ping(0), &notes));
    EXPECT_EQ(pings, 1);

    // Someone answers at the new address: asked, refused.
    EXPECT_FALSE(AskBeforeSetup(r, "192.168.1.5", true, prompts, ping(0), &notes));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].rfind("IP address is already assigned", 0), 0u);

    // Out of the PC's network: asked before any ping.
    prompts.shown.clear();
    Set(r.ip, "192.168.2.5");
    EXPECT_FALSE(AskBeforeSetup(r, "192.168.1.5", true, prompts, ping(1), &notes));
    EXPECT_EQ(prompts.shown.at(0).rfind("IP address is out of your local network range!", 0), 0u);
    EXPECT_EQ(pings, 2);

    // Without the check, or with DHCP on, only the port question remains.
    prompts.shown.clear();
    EXPECT_TRUE(AskBeforeSetup(r, "192.168.1.5", false, prompts, ping(0), &notes));
    r.dhcp_enabled = 1;
    EXPECT_TRUE(AskBeforeSetup(r, "192.168.1.5", true, prompts, ping(0), &notes));
    r.port = 99;
    EXPECT_FALSE(AskBeforeSetup(r, "192.168.1.5", false, prompts, ping(0), &notes));
    EXPECT_EQ(prompts.shown.size(), 1u);
    prompts.answer = true;
    EXPECT_TRUE(AskBeforeSetup(r, "192.168.1.5", false, prompts, ping(0), &notes));
    EXPECT_EQ(pings, 2);

    // A ping that cannot be used is noted and does not stop the setup.
    r.dhcp_enabled = 0;
    r.port = 80;
    Set(r.ip, "192.168.1.40");
    notes.clear();
    EXPECT_TRUE(AskBeforeSetup(r, "192.168.1.5", true, prompts, ping(-1), &notes));
    EXPECT_EQ(notes, std::vector<std::string>{"Testing ping failed. Sending new settings..."});

    // A typed address that does not parse is refused with the dialog's message.
    prompts.shown.clear();
    Set(r.mask, "255.255.255.255");
    EXPECT_FALSE(AskBeforeSetup(r, "192.168.1.5", true, prompts, ping(1), &notes));
    EXPECT_EQ(prompts.shown.at(0), "Some of network parameters is not correct?");
}

TEST(CliOutput, JsonCarriesCapabilitiesFlagsAndRawFields) {
    qvudps_module m = Device("02:00:00:00:00:01", "Tank", "10.0.0.1", 80);
    m.type = 2;
    m.web_supported = 1;
    m.dhcp_supported = 1;
    m.tcp_setup_enabled = 1;
    m.raw_flags = 0x0C;
    m.token[0] = 0xAB;
    std::vector<qvudps_module> list = {Device("02:00:00:00:00:09", "", "10.0.0.9", 81), m};
    list = SortedByMac(list);
    const auto doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(FormatDevices(list, Format::Json)));
    const QJsonObject o = doc.array()[0].toObject();
    EXPECT_EQ(o["mac"].toString(), "02:00:00:00:00:01");
    EXPECT_EQ(o["parameters"].toString(), "TCP setup=Y, DHCP=N");
    EXPECT_TRUE(o["capabilities"].toObject()["web_supported"].toBool());
    EXPECT_TRUE(o["capabilities"].toObject()["config_files"].toBool());
    EXPECT_TRUE(o["flags"].toObject()["tcp_setup_enabled"].toBool());
    EXPECT_EQ(o["raw"].toObject()["flags"].toInt(), 0x0C);
    EXPECT_EQ(o["raw"].toObject()["token"].toString(), "AB00000000000000");

    Format f = Format::Table;
    EXPECT_TRUE(ParseFormat("csv", &f));
    EXPECT_EQ(f, Format::Csv);
    EXPECT_FALSE(ParseFormat("xml", &f));
}
