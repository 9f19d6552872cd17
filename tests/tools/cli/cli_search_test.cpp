// kelvo-cli search end to end, through a relay or none.
#include "cli_e2e.h"

#include <algorithm>

#include <netinet/in.h>
#include <sys/socket.h>

using namespace kelvo::test;

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

    // The list saved, against a search: the same (0), then with one device
    // changed and one missing from the search (1), then no list at all (1).
    TempDir dir;
    const fs::path saved = dir.path / "plant.json";
    write_file(saved, r.out);
    EXPECT_EQ(lab.run({"search", "--compare", Q(saved)}).code, 0);
    QJsonArray edited = list;
    for (int i = 0; i < edited.size(); ++i) {
        auto device = edited[i].toObject();
        if (device["mac"] == QString::fromStdString(lab.mac(kSerial)))
            device["ip"] = "10.9.9.9";
        edited[i] = device;
    }
    edited.removeAt(0);
    write_file(saved, QJsonDocument(edited).toJson().toStdString());
    Result c = lab.run({"search", "--compare", Q(saved)});
    EXPECT_EQ(c.code, 1) << c.err;
    EXPECT_NE(c.out.find("ip 10.9.9.9 → 127.0.120."), std::string::npos) << c.out;
    EXPECT_EQ(c.out.rfind("added     " + list[0].toObject()["mac"].toString().toStdString(), 0), 0u)
        << c.out;
    c = lab.run({"search", "--compare", Q(dir.path / "none.json")});
    EXPECT_EQ(c.code, 1);
    EXPECT_NE(c.err.find("none.json: no such file"), std::string::npos) << c.err;
}

TEST(CliSearch, CsvHonoursTheMacFilterFileAndAllIgnoresIt) {
    CliLab lab(Pick("127.0.121.1", {kThermometer, kIoBox, kMeter}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const fs::path filter = dir.path / "kelvo-cli.filter";
    write_file(filter, "# hidden in the window\n" + lab.mac(1) + "\n");

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
