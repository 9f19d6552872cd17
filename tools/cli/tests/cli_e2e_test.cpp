// kelvo-cli's commands end to end: a simulated fleet behind a real relay, the
// discovery and XML libraries and the session layer, all on loopback.
#include "cli_lab.h"
#include "hostile_http.h"

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

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
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
    EXPECT_EQ(r.code, 9) << r.err;
    EXPECT_NE(r.err.find("No relay at " + at +
                         ": start kelvo-relay (systemctl start kelvo-relay; where systemd does "
                         "not run, run kelvo-relay in a terminal)"),
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
    const struct {
        HostileHttp::Mode mode;
        int code;
        const char *says;
    } cases[] = {
        {HostileHttp::Truncated, 1, ""},
        {HostileHttp::Chunked, 0, ""}, // decoded: no chunk-size line in the file
        {HostileHttp::Malformed, 1, ""},
        {HostileHttp::Trickle, 1, "did not answer"},
        {HostileHttp::Unauthorized, 6, "HTTP: Unauthorized"},
    };
    for (const auto &c : cases) {
        HostileHttp peer(c.mode, doc);
        ASSERT_NE(peer.port, 0);
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
    HostileHttp refusing(HostileHttp::Unauthorized, "");
    r = CliLab::runRaw({"values", QString::fromStdString(refusing.endpoint()), "--http-user",
                        "admin", "--http-password", "secret"});
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.err.find("the device refused the credentials"), std::string::npos) << r.err;
    ASSERT_EQ(refusing.requests().size(), 1u); // no second try: a device may count it
    EXPECT_NE(refusing.requests()[0].find("Authorization: Basic YWRtaW46c2VjcmV0"),
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
