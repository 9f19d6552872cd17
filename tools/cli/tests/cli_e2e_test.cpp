// kelvo-cli's commands end to end: a simulated fleet behind a real relay, the
// discovery and XML libraries and the session layer, all on loopback.
#include "cli_lab.h"

#include "hostadapter.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace clitest;
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
    env.readAdapter = [] {
        return kelvo::host::ReadLocalAdapter([](std::vector<kelvo::host::AdapterEntry> &out) {
            out.push_back({"lab0", "127.0.125.10", "255.255.255.0", "127.0.125.254"});
            return 0;
        });
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
          QStringList{"set", mac, "--dhcp", "maybe"}, QStringList{"set", mac, "--port", "70000"},
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

TEST(CliSearch, WithoutARelayItSaysSoAndExitsWithItsOwnCode) {
    // A port nobody holds: bound and let go again.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len), 0);
    close(fd);
    const std::string at = "127.0.0.1:" + std::to_string(ntohs(sa.sin_port));
    const Result r = CliLab::runRaw({"search", "--relay", QString::fromStdString(at)});
    EXPECT_EQ(r.code, 8) << r.err;
    EXPECT_NE(r.err.find("No relay at " + at + ": start kelvo-relay (systemctl start kelvo-relay)"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty());
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

    const fs::path byIp = dir.path / "by-ip.xml";
    r = lab.run({"download", Endpoint(lab, 0), "-o", QString::fromStdString(byIp.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(ReadFile(byIp), expected));

    // A device that does not answer HTTP fails with the library's message.
    r = lab.run({"download", "127.0.128.200:9", "-o",
                 QString::fromStdString((dir.path / "none.xml").string())});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Downloading configuration... "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.path / "none.xml"));
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
    auto devices = Pick("127.0.132.1", {kThermometer, kThermometer, kMeter});
    devices[1].name = "Thermometer 1"; // the same name twice
    devices[1].ip = "127.0.132.2";
    devices[2].faults.http_status = 500;
    CliLab lab(devices);
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const Result r = lab.run({"backup", QString::fromStdString(dir.path.string())});
    EXPECT_EQ(r.code, 7) << r.err << r.out;
    EXPECT_NE(r.out.find("HTTP: Internal Server Error"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 of 3 configuration document(s) saved"), std::string::npos) << r.out;
    std::string mac = lab.mac(1);
    std::erase(mac, ':');
    // Neither device overwrote the other's file.
    const std::string first = ReadFile(dir.path / "Thermometer 1.xml");
    const std::string second = ReadFile(dir.path / ("Thermometer 1_" + mac + ".xml"));
    EXPECT_FALSE(first.empty());
    EXPECT_FALSE(second.empty());
    EXPECT_NE(first, second);
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
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
