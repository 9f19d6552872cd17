// Window-free logic of the main window and the detail dialog.
#include "appmutex.h"
#include "detaillogic.h"
#include "devicelist.h"
#include "kelvo_version.h"
#include "options.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelvo::ui;

namespace {

qvudps_module Device(const char *mac, const char *ip, const char *name = "", unsigned port = 80,
                     const char *type = "Thermometer") {
    qvudps_module m{};
    std::strncpy(m.mac, mac, sizeof m.mac - 1);
    std::strncpy(m.ip, ip, sizeof m.ip - 1);
    std::strncpy(m.name, name, sizeof m.name - 1);
    std::strncpy(m.type_name, type, sizeof m.type_name - 1);
    m.port = static_cast<uint16_t>(port);
    return m;
}

QStringList Order(std::vector<qvudps_module> &devices, int column) {
    std::vector<DeviceEntry> table(kMaxDevices);
    for (std::size_t i = 0; i < devices.size(); ++i)
        table[i] = {static_cast<int32_t>(i), &devices[i]};
    SortDeviceTable(table, static_cast<int>(devices.size()), column);
    EXPECT_EQ(table.size(), static_cast<std::size_t>(kMaxDevices));
    QStringList macs;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        macs << table[i].record->mac;
        // Entries keep their flag when they move.
        EXPECT_EQ(&devices[static_cast<std::size_t>(table[i].isNew)], table[i].record);
    }
    return macs;
}

} // namespace

TEST(DeviceList, ParametersTextListsOnlyWhatTheDeviceSupports) {
    qvudps_module m = Device("02:00:00:00:00:01", "10.0.0.1");
    m.tcp_setup_enabled = 1;
    EXPECT_EQ(ParametersText(m), "TCP setup=Y");
    m.tea_supported = 1;
    m.dhcp_supported = 1;
    EXPECT_EQ(ParametersText(m), "TCP setup=Y, TEA=N, DHCP=N");
    m.nvt_supported = 1;
    m.nvt_enabled = 1;
    m.tea_enabled = 1;
    m.dhcp_enabled = 1;
    m.tcp_setup_enabled = 0;
    EXPECT_EQ(ParametersText(m), "TCP setup=N, TEA=Y, NVT=Y, DHCP=Y");
    // Only the value 1 counts as on.
    m.tea_enabled = 2;
    EXPECT_EQ(ParametersText(m), "TCP setup=N, TEA=N, NVT=Y, DHCP=Y");
}

TEST(DeviceList, HeadersMarkTheSortColumnOnly) {
    EXPECT_EQ(GridHeaders(2),
              (QStringList{"MAC", "Name", "* IP", "Device type", "Port", "Parameters"}));
    EXPECT_EQ(GridHeaders(0)[0], "* MAC");
    EXPECT_EQ(GridHeaders(4)[4], "* Port");
    EXPECT_EQ(GridHeaders(5)[5], "Parameters");
}

TEST(DeviceList, RowTextsAndKeys) {
    qvudps_module m = Device("02:00:00:00:00:01", "10.0.0.5",
                             "K\xC3\xBC"
                             "che",
                             8080);
    m.tcp_setup_enabled = 1;
    const QStringList row = RowTexts(m);
    ASSERT_EQ(row.size(), kColumnCount);
    EXPECT_EQ(row[1], QString::fromUtf8("K\xC3\xBC"
                                        "che"));
    EXPECT_EQ(row[4], "8080");
    EXPECT_EQ(row[5], "TCP setup=Y");
    EXPECT_EQ(DeviceKey(m), "02:00:00:00:00:01-10.0.0.5");
}

TEST(DeviceList, SortsByIpNumerically) {
    std::vector<qvudps_module> d{Device("02:00:00:00:00:01", "192.168.1.10"),
                                 Device("02:00:00:00:00:02", "192.168.1.9"),
                                 Device("02:00:00:00:00:03", "10.0.0.200")};
    EXPECT_EQ(Order(d, 2),
              (QStringList{"02:00:00:00:00:03", "02:00:00:00:00:02", "02:00:00:00:00:01"}));
    EXPECT_EQ(SortKey(d[1], 2), "192.168.001.009"
                                "02:00:00:00:00:02");
}

TEST(DeviceList, SortsByNameWithUnnamedDevicesLastAndTiesByMac) {
    std::vector<qvudps_module> d{Device("02:00:00:00:00:04", "10.0.0.1", ""),
                                 Device("02:00:00:00:00:03", "10.0.0.2", "boiler"),
                                 Device("02:00:00:00:00:02", "10.0.0.3", "Attic"),
                                 Device("02:00:00:00:00:01", "10.0.0.4", "Boiler"),
                                 Device("02:00:00:00:00:05", "10.0.0.5", "Zz")};
    // Case does not matter; equal names go by MAC; a missing name sorts after
    // names that do not start with Z.
    EXPECT_EQ(Order(d, 1),
              (QStringList{"02:00:00:00:00:02", "02:00:00:00:00:01", "02:00:00:00:00:03",
                           "02:00:00:00:00:04", "02:00:00:00:00:05"}));
}

TEST(DeviceList, SortsByMacTypeAndPort) {
    std::vector<qvudps_module> d{Device("02:00:00:00:00:0B", "10.0.0.1", "", 9, "relay box"),
                                 Device("02:00:00:00:00:0a", "10.0.0.2", "", 10000, "Converter"),
                                 Device("02:00:00:00:00:01", "10.0.0.3", "", 80, "converter")};
    EXPECT_EQ(Order(d, 0),
              (QStringList{"02:00:00:00:00:01", "02:00:00:00:00:0a", "02:00:00:00:00:0B"}));
    EXPECT_EQ(Order(d, 3),
              (QStringList{"02:00:00:00:00:01", "02:00:00:00:00:0a", "02:00:00:00:00:0B"}));
    EXPECT_EQ(Order(d, 4),
              (QStringList{"02:00:00:00:00:0B", "02:00:00:00:00:01", "02:00:00:00:00:0a"}));
    // The parameters column has no key: the order stays.
    EXPECT_EQ(Order(d, 5),
              (QStringList{"02:00:00:00:00:0B", "02:00:00:00:00:0a", "02:00:00:00:00:01"}));
}

TEST(DeviceList, SettingsNotTakenNamesWhatTheDeviceStillReports) {
    qvudps_module sent = Device("02:00:00:00:00:01", "10.0.0.5");
    std::strcpy(sent.mask, "255.255.255.0");
    sent.dhcp_supported = sent.tea_supported = sent.filter_supported = 1;
    sent.tea_enabled = 1;
    const struct {
        void (*change)(qvudps_module &);
        void (*sentChange)(qvudps_module &);
        QStringList differ;
    } cases[] = {
        {[](qvudps_module &) {}, [](qvudps_module &) {}, {}},
        {[](qvudps_module &n) { std::strcpy(n.ip, "10.0.0.6"); },
         [](qvudps_module &) {},
         {"IP address"}},
        // With DHCP on, the device chooses its own address.
        {[](qvudps_module &n) { std::strcpy(n.ip, "10.0.0.6"); },
         [](qvudps_module &s) { s.dhcp_enabled = 1; },
         {"DHCP"}},
        {[](qvudps_module &n) {
             n.port = 81;
             n.tea_enabled = 0;
         },
         [](qvudps_module &) {},
         {"port", "TEA"}},
        // Switches the device does not have are not compared.
        {[](qvudps_module &n) { n.nvt_enabled = 1; }, [](qvudps_module &) {}, {}},
        {[](qvudps_module &n) { std::strcpy(n.filter_mask, "255.0.0.0"); },
         [](qvudps_module &) {},
         {"IP access filter"}},
    };
    for (const auto &c : cases) {
        qvudps_module s = sent;
        c.sentChange(s);
        qvudps_module now = sent;
        c.change(now);
        EXPECT_EQ(SettingsNotTaken(s, now), c.differ) << c.differ.join(",").toStdString();
    }
}

TEST(DeviceList, MenuStatesFollowTheDevice) {
    EXPECT_EQ(MenuStateFor(nullptr), PopupMenuState{});
    qvudps_module m = Device("02:00:00:00:00:01", "10.0.0.1");
    m.type = 7;
    m.tcp_setup_supported = 1;
    PopupMenuState s = MenuStateFor(&m);
    EXPECT_TRUE(s.detail);
    EXPECT_TRUE(s.tcpSetup);
    EXPECT_FALSE(s.web || s.download || s.upload || s.defaults);
    m.type = 34;
    m.web_supported = 1;
    m.defaults_supported = 1;
    s = MenuStateFor(&m);
    EXPECT_TRUE(s.download && s.upload && s.web && s.defaults);
    // Only the low 8 bits of the type count.
    m.type = 0x100 + 34;
    EXPECT_TRUE(MenuStateFor(&m).download);
}

TEST(DeviceList, ConfigFileTypes) {
    QList<unsigned> with;
    for (unsigned t = 0; t < 64; ++t) {
        if (SupportsConfigFiles(t))
            with << t;
    }
    EXPECT_EQ(with, (QList<unsigned>{2,  3,  4,  5,  6,  8,  10, 11, 12, 13, 14, 15,
                                     16, 17, 21, 22, 23, 24, 25, 26, 34, 39, 40}));
}

TEST(DeviceList, SuggestedFileNameAndPorts) {
    qvudps_module m = Device("02:00:00:00:00:01", "10.0.0.5", "", 8080);
    EXPECT_EQ(SuggestedFileName(m), "10_0_0_5_8080");
    std::strcpy(m.name, "Hall sensor");
    EXPECT_EQ(SuggestedFileName(m), "Hall sensor");
    EXPECT_EQ(WebPortOf(m), 80);
    EXPECT_EQ(TcpSetupPortOf(m), 99);
    m.web_port = 8080;
    m.tcp_setup_port = 2323;
    EXPECT_EQ(WebPortOf(m), 8080);
    EXPECT_EQ(TcpSetupPortOf(m), 2323);
}

TEST(DetailLogic, PortMustBeAWholeNumberInRange) {
    QString error;
    EXPECT_EQ(ParsePort("80", &error), std::optional<uint16_t>(80));
    EXPECT_EQ(ParsePort(" 65535 ", &error), std::optional<uint16_t>(65535));
    EXPECT_FALSE(ParsePort("8o", &error));
    EXPECT_EQ(error, "'8o' is not a valid integer value");
    EXPECT_FALSE(ParsePort("", &error));
    EXPECT_FALSE(ParsePort("65536", &error));
    EXPECT_FALSE(ParsePort("-1", &error));
    EXPECT_EQ(error, "'-1' is not a valid port number");
}

TEST(DetailLogic, OnlyDottedQuadsAreAddresses) {
    for (const char *good : {"0.0.0.0", "192.168.1.99", "255.255.255.255", "10.0.0.1"})
        EXPECT_TRUE(IsDottedIPv4(good)) << good;
    for (const char *bad :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.x", "0x7f.0.0.1", "1..2.3", " 1.2.3.4",
          "1.2.3.4 ", "1234.1.1.1", "+1.2.3.4", "010.0.0.1"})
        EXPECT_FALSE(IsDottedIPv4(bad)) << bad;
    DetailValues v{"", "10.0.0.1", "255.0.0.0", "10.0.0.254", "0.0.0.0", "0.0.0.0"};
    EXPECT_TRUE(AddressesValid(v));
    v.filterMask = "0.0.0";
    EXPECT_FALSE(AddressesValid(v));
}

TEST(DetailLogic, Utf8CutNeverSplitsACharacter) {
    EXPECT_EQ(CutUtf8("short", 33), "short");
    const std::string ascii(40, 'a');
    EXPECT_EQ(CutUtf8(ascii, 33).size(), 33u);
    // 32 ASCII bytes and a two-byte character: the character does not fit.
    const std::string two = std::string(32, 'a') + "\xC3\xBC" + "b";
    EXPECT_EQ(CutUtf8(two, 33), std::string(32, 'a'));
    // A three-byte character that ends exactly at the limit stays.
    const std::string three = std::string(30, 'a') + "\xE2\x82\xAC" + "b";
    EXPECT_EQ(CutUtf8(three, 33), std::string(30, 'a') + "\xE2\x82\xAC");
}

TEST(DetailLogic, WriteDetailValuesFillsTheRecord) {
    qvudps_module m = Device("02:00:00:00:00:01", "10.0.0.1", "old name that is quite long indeed");
    m.load_defaults = 0;
    DetailValues v;
    v.name = QString::fromUtf8("Th\xC3\xA9rmom\xC3\xA8tre de la grande salle ouest");
    v.ip = "10.0.0.77";
    v.mask = "255.255.0.0";
    v.gateway = "10.0.0.254";
    v.filterIp = "10.0.0.0";
    v.filterMask = "255.255.255.0";
    v.nvt = true;
    v.dhcp = true;
    WriteDetailValues(m, v, 8081);
    EXPECT_LE(std::strlen(m.name), kMaxNameBytes);
    EXPECT_EQ(QString::fromUtf8(m.name), v.name.left(QString::fromUtf8(m.name).size()));
    EXPECT_STREQ(m.ip, "10.0.0.77");
    EXPECT_STREQ(m.mask, "255.255.0.0");
    EXPECT_STREQ(m.gateway, "10.0.0.254");
    EXPECT_STREQ(m.filter_ip, "10.0.0.0");
    EXPECT_STREQ(m.filter_mask, "255.255.255.0");
    EXPECT_STREQ(m.mac, "02:00:00:00:00:01");
    EXPECT_EQ(m.port, 8081);
    EXPECT_EQ(m.nvt_enabled, 1);
    EXPECT_EQ(m.dhcp_enabled, 1);
    EXPECT_EQ(m.tcp_setup_enabled, 0);
    EXPECT_EQ(m.tea_enabled, 0);
}

TEST(DetailLogic, ConfirmTextRuns) {
    const ConfirmText t = BuildConfirmText("192.168.5.20", "192.168.1.X");
    EXPECT_TRUE(t.text.startsWith("IP address 192.168.5.20 is out of your local network range "
                                  "192.168.1.X !\r\n\r\nPlease, choose 'No'"));
    EXPECT_TRUE(t.text.endsWith("to continue.\r\n\r\nDo you want to continue?"));
    EXPECT_EQ(t.text.mid(t.redStart, t.redLength), "5.20");
    EXPECT_EQ(t.text.mid(t.addressStart, t.addressLength), "192.168.5.20");
    EXPECT_EQ(t.text.mid(t.networkStart, t.networkLength), "192.168.1.X");
    // Without "192.168." there is no coloured run at all.
    const ConfirmText other = BuildConfirmText("10.1.2.3", "10.1.1.X");
    EXPECT_EQ(other.redLength, 0);
    EXPECT_EQ(other.addressLength, 0);
}

TEST(DetailLogic, SetupKeyIsTheMd5OfUserAndPassword) {
    // MD5("") = d41d8cd98f00b204e9800998ecf8427e
    const SetupKey empty = SetupKeyFromCredentials("", "");
    EXPECT_EQ(empty.k3, 0xd41d8cd9u);
    EXPECT_EQ(empty.k2, 0x8f00b204u);
    EXPECT_EQ(empty.k1, 0xe9800998u);
    EXPECT_EQ(empty.k0, 0xecf8427eu);
    const SetupKey a = SetupKeyFromCredentials("ab", "c");
    const SetupKey b = SetupKeyFromCredentials("a", "bc");
    EXPECT_EQ(a.k0, b.k0);
    EXPECT_EQ(a.k3, b.k3);
    EXPECT_NE(a.k0, empty.k0);
}

TEST(Options, RelayOverride) {
    MainOptions o;
    QString error;
    EXPECT_TRUE(ParseCommandLine({}, o, &error));
    EXPECT_EQ(o.relayAddress, "127.0.0.1");
    EXPECT_EQ(o.relayPort, 9999);
    EXPECT_TRUE(ParseCommandLine({"--relay", "127.0.0.1:40001"}, o, &error));
    EXPECT_EQ(o.relayPort, 40001);
    EXPECT_TRUE(ParseCommandLine({"--relay=127.0.0.3:5"}, o, &error));
    EXPECT_EQ(o.relayAddress, "127.0.0.3");
    for (const char *bad :
         {"127.0.0.1", "127.0.0.1:0", "127.0.0.1:70000", "localhost:9999", ":9999"})
        EXPECT_FALSE(ParseCommandLine({"--relay", bad}, o, &error)) << bad;
    EXPECT_FALSE(ParseCommandLine({"--bogus"}, o, &error));
    EXPECT_FALSE(ParseCommandLine({"--relay"}, o, &error));
    EXPECT_FALSE(ParseCommandLine({"stray"}, o, &error));
    // A language is a code, never a path to a file.
    for (const char *code : {"de", "zh_CN", "pt-BR"}) {
        EXPECT_TRUE(ParseCommandLine({"--language", code}, o, &error)) << code;
        EXPECT_EQ(o.language, code);
    }
    for (const char *bad : {"", "../../tmp/x", "de/..", "german", "d"})
        EXPECT_FALSE(ParseCommandLine({"--language", bad}, o, &error)) << bad;
}

TEST(Options, HelpAndVersionEndTheProgramWithTheirText) {
    MainOptions o;
    QString error, text;
    ASSERT_TRUE(ParseCommandLine({"--version"}, o, &error, &text));
    EXPECT_EQ(text, "kelvo " KELVO_VERSION "\n");
    ASSERT_TRUE(ParseCommandLine({"--help"}, o, &error, &text));
    EXPECT_TRUE(text.contains("--relay")) << text.toStdString();
    ASSERT_TRUE(ParseCommandLine({"--relay", "127.0.0.1:5"}, o, &error, &text));
    EXPECT_TRUE(text.isEmpty());
}

TEST(InstallMutex, ALinkPlantedAtItsNameIsNotFollowed) {
    const std::string dir = ::testing::TempDir() + "kelvo-mutex-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string created = dir + "/created";
    const char *was = std::getenv("XDG_RUNTIME_DIR");
    const std::string before = was ? was : "";
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", dir.c_str(), 1), 0);
    ASSERT_EQ(symlink(created.c_str(), kelvo::ui::InstallMutexPath().c_str()), 0);
    kelvo::ui::CreateInstallMutex();
    EXPECT_NE(access(created.c_str(), F_OK), 0);
    EXPECT_FALSE(kelvo::ui::InstallMutexHeld());
    unlink(kelvo::ui::InstallMutexPath().c_str());
    if (was)
        setenv("XDG_RUNTIME_DIR", before.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    rmdir(dir.c_str());
}
