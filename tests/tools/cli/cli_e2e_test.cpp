// kelvo-cli's commands end to end: a simulated fleet behind a real relay, the
// discovery and XML libraries and the session layer, all on loopback.
#include "cli_lab.h"
#include "http_peer.h"

#include "hostadapter.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelvo::test;
using kelvo::devsim::DeviceConfig;
using kelvo::devsim::mixed_devices;
namespace fs = std::filesystem;

namespace {

// The mixed fleet's devices by their place in the mix.
enum Mix { kThermometer = 0, kIoBox = 1, kSerial = 2, kHub = 3, kMeter = 4, kSecured = 5 };

std::vector<DeviceConfig> Pick(const std::string &firstIp, std::initializer_list<int> kinds) {
    const auto all = mixed_devices(6, true, firstIp);
    std::vector<DeviceConfig> out;
    for (int k : kinds)
        out.push_back(all[static_cast<size_t>(k)]);
    return out;
}

QJsonArray JsonArray(const std::string &text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).array();
}

QJsonObject ByMac(const QJsonArray &list, const std::string &mac) {
    for (const auto &v : list)
        if (v.toObject()["mac"].toString().toStdString() == mac)
            return v.toObject();
    return {};
}

std::string ReadFile(const fs::path &p) {
    std::string text;
    if (FILE *f = std::fopen(p.c_str(), "rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

// The document without the device's clock, which ticks between two reads.
std::string WithoutClock(std::string doc) {
    for (const char *tag : {"<Time>", "<Date>"}) {
        for (auto at = doc.find(tag); at != std::string::npos; at = doc.find(tag, at + 1)) {
            const auto end = doc.find('<', at + 6);
            if (end != std::string::npos && end - at - 6 <= 10)
                doc.replace(at + 6, end - at - 6, "");
        }
    }
    return doc;
}

// The same document but for the clock; no dump of two whole documents.
::testing::AssertionResult SameDocument(const std::string &a, const std::string &b) {
    if (!a.empty() && WithoutClock(a) == WithoutClock(b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "documents differ (" << a.size() << " and " << b.size() << " bytes)";
}

void WriteFile(const fs::path &p, const std::string &text) {
    std::ofstream(p, std::ios::binary) << text;
}

// A folder of its own under the system's temporary folder, removed after.
struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() /
               ("kelvo-cli-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
    static inline int serial = 0;
};

// Permission bits of a file (-1 when it does not exist).
int Mode(const fs::path &p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

std::size_t Entries(const fs::path &dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

QString Q(const fs::path &p) {
    return QString::fromStdString(p.string());
}

QString Endpoint(const CliLab &lab, std::size_t i) {
    const auto d = lab.fleet->device(i);
    return QString::fromStdString(d.config.ip + ":" + std::to_string(d.http_port));
}

// Bodies of the POSTs the device with `mac` received so far.
std::vector<std::string> PostBodies(const CliLab &lab, const std::string &mac) {
    std::vector<std::string> out;
    for (const auto &line : lab.fleet->log()) {
        const auto o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (o["kind"] == "http" && o["method"] == "POST" &&
            o["mac"].toString().toStdString() == mac)
            out.push_back(o["body"].toString().toStdString());
    }
    return out;
}

} // namespace

TEST(CliSearch, ReportsEveryRecordFieldAsJson) {
    CliLab lab(mixed_devices(6, true, "127.0.120.1"));
    ASSERT_TRUE(lab.started);
    const Result r = lab.run({"search", "--format", "json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonArray list = JsonArray(r.out);
    ASSERT_EQ(list.size(), 6) << r.out;

    const auto thermo = ByMac(list, lab.mac(kThermometer));
    EXPECT_EQ(thermo["ip"].toString(), "127.0.120.1");
    EXPECT_EQ(thermo["mask"].toString(), "255.255.255.0");
    EXPECT_EQ(thermo["gateway"].toString(), "127.0.10.254");
    EXPECT_EQ(thermo["type"].toInt(), 2);
    EXPECT_EQ(thermo["port"].toInt(), lab.fleet->device(kThermometer).http_port);
    // Type 2 reports no name; the search fetched it over HTTP.
    EXPECT_EQ(thermo["name"].toString(), "Thermometer 1");
    EXPECT_EQ(thermo["parameters"].toString(), "TCP setup=Y, DHCP=N");
    EXPECT_TRUE(thermo["capabilities"].toObject()["config_files"].toBool());

    const auto serial = ByMac(list, lab.mac(kSerial));
    EXPECT_EQ(serial["parameters"].toString(), "TCP setup=Y, TEA=Y, NVT=Y");
    EXPECT_EQ(serial["port"].toInt(), 10001);
    EXPECT_EQ(serial["tcp_setup_port"].toInt(), 99);
    EXPECT_FALSE(serial["capabilities"].toObject()["web_supported"].toBool());

    const auto secured = ByMac(list, lab.mac(kSecured));
    EXPECT_EQ(secured["type"].toInt(), 24);
    EXPECT_EQ(secured["type_name"].toString(), "Lab secured controller");
    EXPECT_EQ(secured["name"].toString(), "Secured 6");
    EXPECT_TRUE(secured["capabilities"].toObject()["setup_auth_required"].toBool());
    EXPECT_EQ(secured["raw"].toObject()["type"].toInt() >> 3, 31);
}

TEST(CliSearch, CsvHonoursTheMacFilterFileAndAllIgnoresIt) {
    CliLab lab(Pick("127.0.121.1", {kThermometer, kIoBox, kMeter}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const fs::path filter = dir.path / "kelvo-cli.filter";
    WriteFile(filter, "# hidden in the window\n" + lab.mac(1) + "\n");

    Result r = lab.run({"search", "--format", "csv", "--no-names", "--filter-file",
                        QString::fromStdString(filter.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("MAC,Name,IP,Mask,Gateway,Type,Device type,Firmware,Port", 0), 0u);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_EQ(r.out.find(lab.mac(1)), std::string::npos);
    EXPECT_NE(r.out.find(lab.mac(0)), std::string::npos);
    // A summary with a comma is quoted.
    EXPECT_NE(r.out.find("\"TCP setup=Y, DHCP=N\""), std::string::npos);
    EXPECT_NE(r.err.find("1 hidden by the MAC filter"), std::string::npos) << r.err;

    r = lab.run({"search", "--all", "--no-names", "--filter-file",
                 QString::fromStdString(filter.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(lab.mac(1)), std::string::npos);
    EXPECT_EQ(r.out.rfind("MAC  ", 0), 0u) << r.out;

    // A FIFO or a device is refused at once, without a search.
    const fs::path fifo = dir.path / "fifo.filter";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path &bad : {fifo, fs::path("/dev/zero")}) {
        r = lab.run({"search", "--filter-file", Q(bad)});
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliSearch, DevicesThatDoNotFitAreCountedAndChangeTheExitCode) {
    CliLab lab(Pick("127.0.134.1", {kThermometer, kIoBox, kSerial, kMeter}));
    ASSERT_TRUE(lab.started);
    auto env = CliLab::quietEnvironment();
    env.capacity = 3;
    const Result r = lab.run({"search", "--format", "csv", "--no-names"}, env);
    EXPECT_EQ(r.code, 8) << r.err;
    EXPECT_NE(r.err.find("1 more device(s) answered than the list holds (3)"), std::string::npos)
        << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
}

TEST(CliSet, ChangesOnlyTheGivenFieldsAndConfirmsThem) {
    CliLab lab(Pick("127.0.122.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    const auto before = lab.fleet->device(0).config;
    const Result r = lab.run({"set", QString::fromStdString(lab.mac(0)), "--ip", "127.0.122.50",
                              "--name", "Boiler room", "--tcp-setup", "off"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto now = lab.fleet->device(0);
    EXPECT_EQ(now.setups_applied, 1u);
    EXPECT_EQ(now.config.ip, "127.0.122.50");
    EXPECT_EQ(now.config.name, "Boiler room");
    EXPECT_FALSE(now.config.tcp_setup_enabled);
    // Everything not asked for stays as the device reported it.
    EXPECT_EQ(now.config.mask, before.mask);
    EXPECT_EQ(now.config.gateway, before.gateway);
    EXPECT_EQ(now.config.dhcp_enabled, before.dhcp_enabled);
    EXPECT_NE(r.out.find("127.0.122.50"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Boiler room"), std::string::npos) << r.out;
}

TEST(CliSet, AuthorisedSetupNeedsTheSetupKey) {
    CliLab lab(Pick("127.0.123.1", {kSecured}));
    ASSERT_TRUE(lab.started);
    const QString mac = QString::fromStdString(lab.mac(0));
    Result r = lab.run({"set", mac, "--nvt", "on", "--no-names"});
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.err.find("--user and --password"), std::string::npos) << r.err;
    EXPECT_EQ(lab.fleet->device(0).setups_applied, 0u);

    r = lab.run(
        {"set", mac, "--nvt", "on", "--no-names", "--user", "admin", "--password", "secret"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(lab.fleet->device(0).config.nvt_enabled);
}

TEST(CliSet, WrongSetupKeyIsNotConfirmed) {
    CliLab lab(Pick("127.0.124.1", {kSecured}));
    ASSERT_TRUE(lab.started);
    const Result r = lab.run({"set", QString::fromStdString(lab.mac(0)), "--tea", "on",
                              "--no-names", "--user", "admin", "--password", "wrong"});
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_NE(r.err.find("tea: expected on, device reports off"), std::string::npos) << r.err;
    EXPECT_EQ(lab.fleet->device(0).setups_applied, 0u);
}

TEST(CliSet, ChecksRefuseInsteadOfAsking) {
    CliLab lab(Pick("127.0.125.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    const QString mac = QString::fromStdString(lab.mac(0));
    auto env = CliLab::quietEnvironment();
    env.adapters = [](std::vector<kelvo::host::AdapterEntry> &out) {
        out.push_back({"lab0", "127.0.125.10", "255.255.255.0", "127.0.125.254"});
        return 0;
    };
    Result r = lab.run({"set", mac, "--ip", "127.0.99.5", "--check", "--no-names"}, env);
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_NE(r.err.find("IP address is out of your local network range!"), std::string::npos)
        << r.err;

    // Inside the PC's network, but someone answers the ping there.
    env.ping = [](const std::string &ip) { return ip == "127.0.125.77" ? 0 : 1; };
    r = lab.run({"set", mac, "--ip", "127.0.125.77", "--check", "--no-names"}, env);
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_NE(r.err.find("IP address is already assigned to other equipement!"), std::string::npos)
        << r.err;

    // Port 99 is asked about even without --check.
    r = lab.run({"set", mac, "--port", "99", "--no-names"});
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_NE(r.err.find("Port 99 is reserved"), std::string::npos) << r.err;

    // A switch the device does not have is refused before anything is sent.
    r = lab.run({"set", mac, "--tea", "on", "--no-names"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(lab.fleet->device(0).setups_applied, 0u);
}

TEST(CliSet, UnknownDeviceAndBadArguments) {
    CliLab lab(Pick("127.0.126.1", {kIoBox}));
    ASSERT_TRUE(lab.started);
    Result r = lab.run({"set", "02:00:00:00:99:99", "--nvt", "on", "--no-names"});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_NE(r.err.find("no device 02:00:00:00:99:99"), std::string::npos) << r.err;

    // Refused before any network work.
    const QString mac = QString::fromStdString(lab.mac(0));
    for (const QStringList &args :
         {QStringList{"set", mac}, QStringList{"set", mac, "--ip", "10.0.0.300"},
          QStringList{"set", mac, "--ip", "010.0.0.1"},
          QStringList{"set", mac, "--mask", "255.0.255.0"},
          QStringList{"set", mac, "--mask", "0.0.0.255"},
          QStringList{"set", mac, "--dhcp", "maybe"}, QStringList{"set", mac, "--port", "70000"},
          QStringList{"set", mac, "--name", QString(34, 'n')},
          QStringList{"set", mac, "--filter", "10.0.0.0", "--nvt", "on"},
          QStringList{"set", mac, "--filter", "1.2.3.4/255.0.0.0", "--no-filter"},
          QStringList{"set", "not-a-mac", "--nvt", "on"},
          QStringList{"set", mac, "--nvt", "on", "--interface", "eth0"},
          QStringList{"search", "--relay", "localhost:9999"},
          QStringList{"search", "--direct", "--relay", "127.0.0.1:9"},
          QStringList{"search", "--format", "xml"}, QStringList{"frobnicate"}}) {
        r = CliLab::runRaw(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << "\n" << r.err;
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(CliSet, SettingsFileWithOneFaultyRowSendsNothing) {
    CliLab lab(Pick("127.0.132.1", {kThermometer, kSerial}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const fs::path file = dir.path / "fleet.csv";
    // The serial converter has no name that can be set: only the search
    // shows that, and the first row must not go out either.
    WriteFile(file, "MAC,IP,Name\n" + lab.mac(0) + ",127.0.132.40,\n" + lab.mac(1) + ",,Renamed\n");
    const Result r =
        lab.run({"set", "--from", QString::fromStdString(file.string()), "--no-names"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("line 3: " + lab.mac(1)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing sent"), std::string::npos) << r.err;
    bool searched = false;
    for (const auto &line : lab.fleet->log()) {
        EXPECT_EQ(line.find("\"kind\":\"setup\""), std::string::npos) << line;
        searched |= line.find("\"kind\":\"search\"") != std::string::npos;
    }
    EXPECT_TRUE(searched);
}

TEST(CliSet, SeveralDevicesInOneGoWithAResultLineEach) {
    CliLab lab(Pick("127.0.133.1", {kThermometer, kIoBox, kSecured}));
    ASSERT_TRUE(lab.started);
    const std::string securedIp = lab.fleet->device(2).config.ip;
    // The secured device ignores a setup signed with a wrong key: the others
    // are confirmed all the same, and the exit code says "partly".
    const Result r =
        lab.run({"set", QString::fromStdString(lab.mac(0)), QString::fromStdString(lab.mac(1)),
                 QString::fromStdString(lab.mac(2)), "--ip-range", "127.0.133.50", "--no-names",
                 "--user", "admin", "--password", "wrong"});
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_EQ(lab.fleet->device(0).config.ip, "127.0.133.50");
    EXPECT_EQ(lab.fleet->device(1).config.ip, "127.0.133.51");
    EXPECT_EQ(lab.fleet->device(2).config.ip, securedIp);
    EXPECT_NE(r.out.find(lab.mac(0) + "  127.0.133.50  confirmed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(lab.mac(2) + "  127.0.133.52  not confirmed: ip: expected"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("2 of 3 device(s) confirmed"), std::string::npos) << r.out;
}

// Thermometers (they keep their name over HTTP) at 127.0.`net`.1 upwards.
std::vector<DeviceConfig> Thermometers(int net, const std::vector<std::string> &names) {
    std::vector<DeviceConfig> out;
    for (size_t i = 0; i < names.size(); ++i) {
        DeviceConfig d = Pick("127.0." + std::to_string(net) + ".1", {kThermometer})[0];
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:4B:56:00:%02X:%02X", net, static_cast<int>(i + 1));
        d.mac = mac;
        d.ip = "127.0." + std::to_string(net) + "." + std::to_string(i + 1);
        d.name = names[i];
        out.push_back(d);
    }
    return out;
}

TEST(CliSet, ANameTheSearchCouldNotReadIsNeverErased) {
    auto devices = Thermometers(171, {"Boiler room"});
    devices[0].faults.http_silent = true;
    CliLab lab(devices);
    ASSERT_TRUE(lab.started);
    const QString mac = QString::fromStdString(lab.mac(0));
    // One device alone, then through the batch path (--ip-range), with and
    // without the lookup.
    Result r = lab.run({"set", mac, "--tcp-setup", "off"});
    EXPECT_EQ(r.code, 0) << r.err;
    r = lab.run({"set", mac, "--ip-range", "127.0.171.40", "--no-names"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lab.fleet->device(0).setups_applied, 2u);
    EXPECT_EQ(lab.fleet->device(0).config.name, "Boiler room");
    EXPECT_TRUE(PostBodies(lab, lab.mac(0)).empty());

    // A name that is given is written.
    lab.fleet->set_faults(lab.mac(0), {});
    r = lab.run({"set", mac, "--name", "Tank 2", "--no-names"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lab.fleet->device(0).config.name, "Tank 2");
}

TEST(CliSet, AFedBackSearchListSendsOnlyWhatWasEdited) {
    const std::string longName = "Boiler room, second floor, cabinet 7";
    CliLab lab(Thermometers(172, {longName, "=quoted", "Hall"}));
    ASSERT_TRUE(lab.started);
    Result r = lab.run({"search", "--format", "csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_NE(r.out.find("'=quoted"), std::string::npos) << r.out;
    std::string csv = r.out;
    const auto at = csv.find("127.0.172.3");
    ASSERT_NE(at, std::string::npos) << csv;
    csv.replace(at, 11, "127.0.172.50");
    TempDir dir;
    const fs::path file = dir.path / "list.csv";
    WriteFile(file, csv);
    r = lab.run({"set", "--from", Q(file), "--no-names"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("1 of 1 device(s) confirmed"), std::string::npos) << r.out;
    EXPECT_EQ(lab.fleet->device(0).setups_applied, 0u);
    EXPECT_EQ(lab.fleet->device(1).setups_applied, 0u);
    EXPECT_EQ(lab.fleet->device(2).config.ip, "127.0.172.50");
    EXPECT_EQ(lab.fleet->device(0).config.name, longName);
    EXPECT_EQ(lab.fleet->device(1).config.name, "=quoted");
    EXPECT_TRUE(PostBodies(lab, lab.mac(2)).empty());

    // A new name that a device would get cut is refused; nothing goes out.
    csv.replace(csv.find(longName), longName.size(), longName + " left");
    WriteFile(file, csv);
    r = lab.run({"set", "--from", Q(file), "--no-names"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("not cut"), std::string::npos) << r.err;
    EXPECT_EQ(lab.fleet->device(0).setups_applied, 0u);
}

TEST(CliSet, AddressesNoDeviceShouldGetAreNeverSent) {
    CliLab lab(Thermometers(173, {"A", "B"}));
    ASSERT_TRUE(lab.started);
    const QString m1 = QString::fromStdString(lab.mac(0)), m2 = QString::fromStdString(lab.mac(1));
    Result r = lab.run({"set", m1, m2, "--ip-range", "127.0.173.254", "--no-names"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("127.0.173.255 is the broadcast address of 127.0.173.0/24"),
              std::string::npos)
        << r.err;
    r = lab.run({"set", m1, "--ip", "127.0.173.0", "--no-names"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("network address"), std::string::npos) << r.err;
    EXPECT_EQ(lab.fleet->device(0).setups_applied + lab.fleet->device(1).setups_applied, 0u);
}

TEST(CliSet, BatchChecksUseTheAdapterOfEachDevicesNewNetwork) {
    CliLab lab(Thermometers(174, {"A", "B"}));
    ASSERT_TRUE(lab.started);
    auto env = CliLab::quietEnvironment();
    env.adapters = [](std::vector<kelvo::host::AdapterEntry> &out) {
        out.push_back({"lan1", "127.0.175.10", "255.255.255.0", "127.0.175.254"});
        out.push_back({"lan2", "127.0.176.10", "255.255.255.0", ""});
        return 0;
    };
    TempDir dir;
    const fs::path file = dir.path / "moves.csv";
    // Neither device is on a network of the PC yet; the first moves to lan2.
    WriteFile(file, "MAC,IP\n" + lab.mac(0) + ",127.0.176.20\n" + lab.mac(1) + ",127.0.177.5\n");
    Result r = lab.run({"set", "--from", Q(file), "--check", "--no-names"}, env);
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_EQ(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 3: " + lab.mac(1) +
                         ": the checks refused the new settings (checked against lan1, network "
                         "127.0.175.0/24)"),
              std::string::npos)
        << r.err;
    WriteFile(file, "MAC,IP\n" + lab.mac(0) + ",127.0.176.20\n" + lab.mac(1) + ",127.0.175.20\n");
    r = lab.run({"set", "--from", Q(file), "--check", "--no-names"}, env);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lab.fleet->device(0).config.ip, "127.0.176.20");
    EXPECT_EQ(lab.fleet->device(1).config.ip, "127.0.175.20");
}

TEST(CliSearch, WithoutARelayItSaysSoAndExitsWithItsOwnCode) {
    // A port nobody holds (bound and let go again), and a plain UDP listener
    // that took the relay's port: neither answers as a relay, so neither gets
    // a search or a setup.
    for (const bool squatted : {false, true}) {
        SCOPED_TRACE(squatted);
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
        ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len), 0);
        if (!squatted)
            close(fd);
        const std::string at = "127.0.0.1:" + std::to_string(ntohs(sa.sin_port));
        const Result r = CliLab::runRaw({"set", "02:00:00:00:00:01", "--ip", "127.0.0.5", "--user",
                                         "admin", "--password", "secret", "--yes", "--relay",
                                         QString::fromStdString(at)});
        EXPECT_EQ(r.code, 9) << r.err;
        const std::string why =
            squatted ? "nothing there answers as kelvo-relay" : "nothing listens there";
        EXPECT_NE(r.err.find("No relay at " + at + ": " + why +
                             "; start kelvo-relay (systemctl start kelvo-relay; where systemd does "
                             "not run, run kelvo-relay in a terminal)"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(r.out.empty());
        if (!squatted)
            continue;
        unsigned char buf[512];
        int probes = 0;
        for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0; ++probes)
            EXPECT_EQ(buf[0], 3) << "only probes reach the listener, no search, no setup";
        EXPECT_EQ(probes, 2);
        close(fd);
    }
}

TEST(CliSearch, NoPasswordForDevicesOfADirectSearch) {
    // Refused before anything is sent: replies to the program's own broadcast
    // may come from anyone.
    const QStringList mac = {"02:00:00:00:00:01"};
    const QStringList http = {"--direct", "--http-user", "admin", "--http-password", "x"};
    const QStringList setup = {"--direct", "--user", "admin", "--password", "x"};
    for (const QStringList &args :
         {QStringList{"backup", "/nonexistent/kelvo-backup"} + http,
          QStringList{"download"} + mac + http, QStringList{"values"} + mac + http,
          QStringList{"set"} + mac + QStringList{"--ip", "127.0.0.5"} + setup,
          QStringList{"defaults"} + mac + setup}) {
        const Result r = CliLab::runRaw(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("is not sent to a device found by --direct"), std::string::npos)
            << r.err;
    }
}

TEST(CliDefaults, RestoresAndConfirmsOnlyWhereSupported) {
    CliLab lab(Pick("127.0.127.1", {kThermometer, kSerial}));
    ASSERT_TRUE(lab.started);
    Result r = lab.run({"defaults", QString::fromStdString(lab.mac(0)), "--no-names"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lab.fleet->device(0).defaults_loaded, 1u);
    EXPECT_NE(r.out.find(lab.mac(0)), std::string::npos);

    r = lab.run({"defaults", QString::fromStdString(lab.mac(1)), "--no-names"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(lab.fleet->device(1).setups_applied, 0u);
}

TEST(CliTransfer, DownloadWritesTheDocumentByteForByte) {
    CliLab lab(Pick("127.0.128.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const std::string expected = lab.fleet->setup_xml(lab.mac(0));
    ASSERT_FALSE(expected.empty());

    const fs::path byMac = dir.path / "by-mac.xml";
    Result r = lab.run({"download", QString::fromStdString(lab.mac(0)), "-o",
                        QString::fromStdString(byMac.string()), "--no-names"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(ReadFile(byMac), expected));
    EXPECT_EQ(Mode(byMac), 0600); // it holds the device's passwords
    EXPECT_NE(r.out.find("wrote " + byMac.string()), std::string::npos) << r.out;

    // Without -o the device names the file: an existing one is kept unless --force.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path);
    WriteFile("Thermometer 1.xml", "mine");
    r = lab.run({"download", QString::fromStdString(lab.mac(0))});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Thermometer 1.xml exists already"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile("Thermometer 1.xml"), "mine");
    r = lab.run({"download", QString::fromStdString(lab.mac(0)), "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(ReadFile("Thermometer 1.xml"), expected));
    fs::current_path(cwd);

    const fs::path byIp = dir.path / "by-ip.xml";
    r = lab.run({"download", Endpoint(lab, 0), "-o", QString::fromStdString(byIp.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(ReadFile(byIp), expected));

    // A device that does not answer HTTP fails with the library's message.
    r = lab.run({"download", "127.0.128.200:9", "-o",
                 QString::fromStdString((dir.path / "none.xml").string())});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Downloading configuration... "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Transport endpoint"), std::string::npos) << r.err; // no stale errno
    EXPECT_FALSE(fs::exists(dir.path / "none.xml"));
}

TEST(CliTransfer, HostileAnswersKeepTheEarlierFile) {
    const std::string doc = "<?xml version=\"1.0\"?>\n<Root><Agent><Name>x</Name></Agent>"
                            "<SenSet><Entry><ID>1</ID></Entry></SenSet></Root>\n";
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n";
    const struct {
        const char *mode;
        HttpReply reply;
        int code;
        const char *says;
    } cases[] = {
        {"truncated", HttpReply::truncated(doc), 1, ""},
        {"chunked", HttpReply::chunked(doc), 0, ""}, // decoded: no chunk-size line in the file
        {"malformed", HttpReply::whole(ok + doc.substr(0, doc.size() / 2)), 1, ""},
        {"trickle", HttpReply::trickle(ok + doc, 100, ok.size()), 1, "did not answer"},
        {"unauthorized", HttpReply::unauthorized(), 6, "HTTP: Unauthorized"},
    };
    for (const auto &c : cases) {
        HttpPeer peer(c.reply);
        ASSERT_NE(peer.port(), 0);
        TempDir dir;
        const fs::path file = dir.path / "device.xml";
        WriteFile(file, "earlier");
        const Result r =
            CliLab::runRaw({"download", QString::fromStdString(peer.endpoint()), "-o", Q(file)});
        EXPECT_EQ(r.code, c.code) << c.mode << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.mode << ": " << r.err;
        EXPECT_EQ(ReadFile(file), c.code == 0 ? doc : "earlier") << c.mode;
        EXPECT_EQ(Entries(dir.path), 1u) << c.mode; // no partial file left behind
    }
}

TEST(CliTransfer, RefusedCredentialsAreReportedAndGivenOnesWork) {
    CliLab lab(Pick("127.0.129.1", {kSecured}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const QString file = QString::fromStdString((dir.path / "secured.xml").string());
    Result r = lab.run({"download", Endpoint(lab, 0), "-o", file});
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.err.find("HTTP: Unauthorized"), std::string::npos) << r.err;

    r = lab.run({"download", Endpoint(lab, 0), "-o", file, "--http-user", "admin",
                 "--http-password", "secret"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(ReadFile(dir.path / "secured.xml"), lab.fleet->setup_xml(lab.mac(0))));

    // values sends the login too, and names a refusal as such.
    HttpPeer refusing(HttpReply::unauthorized());
    r = CliLab::runRaw({"values", QString::fromStdString(refusing.endpoint()), "--http-user",
                        "admin", "--http-password", "secret"});
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.err.find("the device refused the credentials"), std::string::npos) << r.err;
    ASSERT_EQ(refusing.requests().size(), 1u); // no second try: a device may count it
    EXPECT_NE(refusing.requests()[0].raw.find("Authorization: Basic YWRtaW46c2VjcmV0"),
              std::string::npos)
        << refusing.requests()[0];

    // The password from a file or from the environment, never the command line.
    const fs::path secret = dir.path / "secret.txt";
    WriteFile(secret, "secret\n");
    r = lab.run({"download", Endpoint(lab, 0), "-o", file, "--http-user", "admin",
                 "--http-password-file", Q(secret)});
    EXPECT_EQ(r.code, 0) << r.err;
    setenv("KELVO_HTTP_PASSWORD", "secret", 1);
    r = lab.run({"download", Endpoint(lab, 0), "-o", file, "--http-user", "admin"});
    unsetenv("KELVO_HTTP_PASSWORD");
    EXPECT_EQ(r.code, 0) << r.err;

    // Refused before any request: nothing is cut or dropped silently.
    const std::string tooLong(100, 'p');
    for (const QStringList &args :
         {QStringList{"download", Endpoint(lab, 0), "--http-password", "secret"},
          QStringList{"values", Endpoint(lab, 0), "--http-password-file", Q(secret)},
          QStringList{"download", Endpoint(lab, 0), "--http-user", "admin", "--http-password",
                      QString::fromStdString(tooLong)},
          QStringList{"download", Endpoint(lab, 0), "--http-user", "admin", "--http-password", "a",
                      "--http-password-file", Q(secret)},
          QStringList{"backup", Q(dir.path), "--parallel", "0"}}) {
        r = CliLab::runRaw(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << "\n" << r.err;
    }
}

TEST(CliTransfer, UploadLeavesOutSensorsTheDeviceDoesNotHave) {
    CliLab lab(Pick("127.0.130.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    std::string doc = lab.fleet->setup_xml(lab.mac(0));
    const auto at = doc.find("<SenSet>");
    ASSERT_NE(at, std::string::npos);
    doc.insert(at + 8, "<Entry><ID>4242</ID><Name>Ghost</Name></Entry>");
    const fs::path file = dir.path / "upload.xml";
    WriteFile(file, doc);

    Result r = lab.run({"upload", Endpoint(lab, 0), QString::fromStdString(file.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    auto bodies = PostBodies(lab, lab.mac(0));
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0].find("4242"), std::string::npos);
    EXPECT_NE(bodies[0].find("<SenSet>"), std::string::npos);

    r = lab.run(
        {"upload", Endpoint(lab, 0), QString::fromStdString(file.string()), "--no-sensor-filter"});
    ASSERT_EQ(r.code, 0) << r.err;
    bodies = PostBodies(lab, lab.mac(0));
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_NE(bodies[1].find("4242"), std::string::npos);

    // Not a setup document: nothing is posted.
    WriteFile(file, "<?xml version=\"1.0\"?>\n<Other><SenSet></SenSet></Other>\n");
    r = lab.run({"upload", Endpoint(lab, 0), QString::fromStdString(file.string())});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Uploading configuration... Invalid XML file"), std::string::npos)
        << r.err;
    EXPECT_EQ(PostBodies(lab, lab.mac(0)).size(), 2u);

    r = lab.run({"upload", Endpoint(lab, 0), QString::fromStdString((dir.path / "no").string())});
    EXPECT_EQ(r.code, 1);

    // Not XML at all, or far too large to be a configuration: refused before
    // the device is even asked for its own document.
    WriteFile(file, "hello world\n");
    r = lab.run({"upload", Endpoint(lab, 0), Q(file)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("is not well-formed XML"), std::string::npos) << r.err;
    fs::resize_file(file, (16u << 20) + 1);
    r = lab.run({"upload", Endpoint(lab, 0), Q(file)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("larger than any device configuration"), std::string::npos) << r.err;
    EXPECT_EQ(PostBodies(lab, lab.mac(0)).size(), 2u);
}

TEST(CliBackup, SavesEveryDeviceThatKeepsADocument) {
    CliLab lab(mixed_devices(6, true, "127.0.131.1"));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const Result r = lab.run({"backup", QString::fromStdString(dir.path.string()), "--http-user",
                              "admin", "--http-password", "secret"});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    // Types 20 and 7 keep no document; the others are saved under their names.
    const std::map<int, std::string> files = {{kThermometer, "Thermometer 1.xml"},
                                              {kHub, "Hub 4.xml"},
                                              {kMeter, "Meter 5.xml"},
                                              {kSecured, "Secured 6.xml"}};
    for (const auto &[i, name] : files)
        EXPECT_TRUE(SameDocument(ReadFile(dir.path / name),
                                 lab.fleet->setup_xml(lab.mac(static_cast<size_t>(i)))))
            << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 4);
    EXPECT_NE(r.out.find("4 of 4 configuration document(s) saved"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(lab.mac(kSerial) + "  "), std::string::npos);
    EXPECT_NE(r.out.find("skipped"), std::string::npos);
}

TEST(CliBackup, ReportsTheDevicesThatFailed) {
    auto devices = Pick("127.0.132.1", {kThermometer, kThermometer, kMeter, kMeter, kMeter});
    devices[1].name = "Thermometer 1"; // the same name twice
    devices[1].ip = "127.0.132.2";
    devices[2].faults.http_status = 500;
    for (std::size_t i : {3u, 4u}) { // accept the connection, never answer
        devices[i].ip = "127.0.132." + std::to_string(i + 1);
        devices[i].name = "Mute " + std::to_string(i);
        devices[i].faults.http_silent = true;
    }
    CliLab lab(devices);
    ASSERT_TRUE(lab.started);
    TempDir dir;
    WriteFile(dir.path / "Thermometer 1.xml", "an earlier backup");
    const Result r = lab.run({"backup", QString::fromStdString(dir.path.string())});
    EXPECT_EQ(r.code, 7) << r.err << r.out;
    EXPECT_NE(r.out.find("HTTP: Internal Server Error"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 of 5 configuration document(s) saved"), std::string::npos) << r.out;
    // Each mute device is named with its own reason.
    for (std::size_t i : {3u, 4u}) {
        const auto row = r.out.find(lab.mac(i) + "  ");
        ASSERT_NE(row, std::string::npos) << r.out;
        const std::string line = r.out.substr(row, r.out.find('\n', row) - row);
        EXPECT_NE(line.find("did not answer"), std::string::npos) << line;
    }
    // No file replaced another, nor the earlier backup; none is readable by others.
    EXPECT_EQ(ReadFile(dir.path / "Thermometer 1.xml"), "an earlier backup");
    std::set<std::string> saved;
    for (std::size_t i : {0u, 1u}) {
        std::string mac = lab.mac(i);
        std::erase(mac, ':');
        const fs::path p = dir.path / ("Thermometer 1_" + mac + ".xml");
        saved.insert(ReadFile(p));
        EXPECT_EQ(Mode(p), 0600) << p;
    }
    EXPECT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved.count(""), 0u);
    EXPECT_EQ(Entries(dir.path), 3u);
}

TEST(CliTransfer, NeverWritesThroughALink) {
    CliLab lab(Pick("127.0.134.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    TempDir dir, elsewhere;
    const fs::path victim = elsewhere.path / "authorized_keys";
    WriteFile(victim, "victim");
    const fs::path dangling = elsewhere.path / "created";
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path);
    // At the suggested name (with and without --force) and as -o.
    const struct {
        fs::path to;
        QStringList args;
    } cases[] = {{dangling, {}}, {victim, {"--force"}}, {victim, {"-o", "Thermometer 1.xml"}}};
    for (const auto &c : cases) {
        fs::create_symlink(c.to, "Thermometer 1.xml");
        const Result r =
            lab.run(QStringList{"download", QString::fromStdString(lab.mac(0))} + c.args);
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_NE(r.err.find("Thermometer 1.xml is a symbolic link"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_symlink("Thermometer 1.xml"));
        EXPECT_EQ(Entries(dir.path), 1u);
        fs::remove("Thermometer 1.xml");
    }
    fs::current_path(cwd);
    EXPECT_EQ(ReadFile(victim), "victim");
    EXPECT_FALSE(fs::exists(dangling));
}

TEST(CliBackup, NamesAreVisibleAndDistinctOnDiskInAnOwnerOnlyFolder) {
    auto devices = Pick("127.0.135.1", {kThermometer, kThermometer, kThermometer});
    const char *names[] = {".bashrc", "...", " . "};
    for (std::size_t i = 0; i < devices.size(); ++i) {
        devices[i].name = names[i];
        devices[i].ip = "127.0.135." + std::to_string(i + 1);
    }
    CliLab lab(devices);
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const fs::path folder = dir.path / "new" / "backup";
    const mode_t mask = umask(0);
    Result r = lab.run({"backup", Q(folder)});
    umask(mask);
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(Mode(dir.path / "new"), 0700);
    EXPECT_EQ(Mode(folder), 0700);
    std::string mac[3];
    for (std::size_t i = 0; i < 3; ++i) {
        mac[i] = lab.mac(i);
        std::erase(mac[i], ':');
    }
    auto names_in = [&] {
        std::set<std::string> files;
        for (const auto &e : fs::directory_iterator(folder))
            files.insert(e.path().filename().string());
        return files;
    };
    EXPECT_EQ(names_in(), (std::set<std::string>{"_bashrc.xml", "_.xml", "__" + mac[2] + ".xml"}));
    // A second run into the same folder replaces nothing and loses nothing.
    r = lab.run({"backup", Q(folder)});
    EXPECT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(names_in().size(), 6u);
    EXPECT_EQ(r.out.find("--force"), std::string::npos) << r.out;
}

TEST(CliBackup, ALinkPlantedDuringTheTransferIsNotFollowed) {
    auto devices = Pick("127.0.136.1", {kThermometer});
    devices[0].faults.http_delay_ms = 1500;
    CliLab lab(devices);
    ASSERT_TRUE(lab.started);
    TempDir dir, elsewhere;
    const fs::path victim = elsewhere.path / "victim";
    WriteFile(victim, "victim");
    // Planted once the device has the request and before its answer.
    std::thread planter([&] {
        for (int i = 0; i < 500; ++i) {
            for (const auto &line : lab.fleet->log())
                if (line.find("\"GET\"") != std::string::npos) {
                    fs::create_symlink(victim, dir.path / "Thermometer 1.xml");
                    return;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const Result r = lab.run({"backup", Q(dir.path)});
    planter.join();
    ASSERT_TRUE(fs::is_symlink(dir.path / "Thermometer 1.xml"));
    EXPECT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(ReadFile(victim), "victim");
    std::string mac = lab.mac(0);
    std::erase(mac, ':');
    EXPECT_TRUE(SameDocument(ReadFile(dir.path / ("Thermometer 1_" + mac + ".xml")),
                             lab.fleet->setup_xml(lab.mac(0))));
}

// A small file system: whatever is said saved is whole, the rest is said
// failed, an earlier file stays and the exit code tells. Root only.
TEST(CliBackup, AFullDiskIsNeverReportedAsSaved) {
    TempDir dir;
    if (geteuid() != 0 || mount("kelvo-full", dir.path.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    CliLab lab(mixed_devices(6, true, "127.0.137.1"));
    ASSERT_TRUE(lab.started);
    Result r = lab.run({"backup", Q(dir.path)});
    EXPECT_NE(r.code, 0) << r.out;
    std::size_t whole = 0;
    for (const auto &e : fs::directory_iterator(dir.path)) {
        bool matched = false;
        for (std::size_t i = 0; i < 6; ++i)
            matched |= static_cast<bool>(
                SameDocument(ReadFile(e.path()), lab.fleet->setup_xml(lab.mac(i))));
        EXPECT_TRUE(matched) << e.path();
        whole += matched;
    }
    EXPECT_NE(r.out.find(std::to_string(whole) + " of 4 configuration document(s) saved"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("No space left on device"), std::string::npos) << r.out;

    // A good file on the full disk is kept when its replacement does not fit.
    const fs::path good = dir.path / "good.xml";
    for (const auto &e : fs::directory_iterator(dir.path))
        fs::remove(e.path());
    WriteFile(good, "good");
    ASSERT_EQ(ReadFile(good), "good");
    {
        std::ofstream filler(dir.path / "filler", std::ios::binary);
        for (int i = 0; i < 64 && filler; ++i)
            filler << std::string(1024, 'f') << std::flush;
    }
    const std::size_t before = Entries(dir.path);
    r = lab.run({"download", QString::fromStdString(lab.mac(kThermometer)), "-o", Q(good)});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(good), "good");
    EXPECT_EQ(Entries(dir.path), before);
    umount2(dir.path.c_str(), MNT_DETACH);
}

TEST(CliValues, ShowsSensorsInputsAndOutputs) {
    CliLab lab(Pick("127.0.133.1", {kIoBox}));
    ASSERT_TRUE(lab.started);
    lab.fleet->set_sensor_value(lab.mac(0), 0, "21.5");
    Result r =
        lab.run({"values", QString::fromStdString(lab.mac(0)), "--format", "json", "--no-names"});
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    ASSERT_EQ(o["sensors"].toArray().size(), 1) << r.out;
    EXPECT_EQ(o["sensors"].toArray()[0].toObject()["value"].toString(), "21.5");
    EXPECT_EQ(o["inputs"].toArray().size(), 4);
    EXPECT_EQ(o["outputs"].toArray().size(), 4);

    r = lab.run({"values", Endpoint(lab, 0)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\nSensors\nID "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("21.5"), std::string::npos);

    kelvo::devsim::Faults broken;
    broken.malformed_xml = true;
    lab.fleet->set_faults(lab.mac(0), broken);
    r = lab.run({"values", Endpoint(lab, 0)});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.err.find("not well-formed XML"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

// A device's readings and limits keep their decimal point whatever the
// user's locale (QCoreApplication applies it to the C library).
TEST(CliValues, NumbersKeepTheirPointInADecimalCommaLocale) {
    struct Locale {
        std::string previous = setlocale(LC_ALL, nullptr);
        bool active = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        ~Locale() { setlocale(LC_ALL, previous.c_str()); }
    } comma;
    if (!comma.active)
        GTEST_SKIP() << "no decimal-comma locale installed";
    CliLab lab(Pick("127.0.135.1", {kMeter}));
    ASSERT_TRUE(lab.started);
    Result r =
        lab.run({"values", QString::fromStdString(lab.mac(0)), "--format", "json", "--no-names"});
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    ASSERT_FALSE(o["sensors"].toArray().isEmpty()) << r.out;
    const QJsonObject sensor = o["sensors"].toArray()[0].toObject();
    EXPECT_EQ(sensor["value"].toString(), "21.5") << r.out;
    EXPECT_EQ(sensor["min"].toString(), "5.0") << r.out;
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
