// kelvo-cli set and defaults end to end: the setup messages and their
// confirmation by a new search.
#include "cli_e2e.h"

#include "hostadapter.h"

#include <algorithm>
#include <cstdio>

using namespace kelvo::test;

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
         {QStringList{"set", mac},
          QStringList{"set", mac, "--ip", "10.0.0.300"},
          QStringList{"set", mac, "--ip", "010.0.0.1"},
          QStringList{"set", mac, "--mask", "255.0.255.0"},
          QStringList{"set", mac, "--mask", "0.0.0.255"},
          QStringList{"set", mac, "--dhcp", "maybe"},
          QStringList{"set", mac, "--port", "70000"},
          QStringList{"set", mac, "--name", QString(34, 'n')},
          QStringList{"set", mac, "--filter", "10.0.0.0", "--nvt", "on"},
          QStringList{"set", mac, "--filter", "1.2.3.4/255.0.0.0", "--no-filter"},
          QStringList{"set", "not-a-mac", "--nvt", "on"},
          QStringList{"set", mac, "--nvt", "on", "--interface", "eth0"},
          QStringList{"search", "--relay", "localhost:9999"},
          QStringList{"search", "--direct", "--relay", "127.0.0.1:9"},
          QStringList{"search", "--format", "xml"},
          QStringList{"frobnicate"},
          QStringList{"watch", "--interval", "4"},
          QStringList{"watch", "--interval", "601"},
          QStringList{"watch", "--format", "csv"},
          QStringList{"watch", "--until-gone", "x"},
          QStringList{"search", "--inventory", "a.json", "--no-inventory"}}) {
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
    write_file(file,
               "MAC,IP,Name\n" + lab.mac(0) + ",127.0.132.40,\n" + lab.mac(1) + ",,Renamed\n");
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
    write_file(file, csv);
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
    write_file(file, csv);
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
    write_file(file, "MAC,IP\n" + lab.mac(0) + ",127.0.176.20\n" + lab.mac(1) + ",127.0.177.5\n");
    Result r = lab.run({"set", "--from", Q(file), "--check", "--no-names"}, env);
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_EQ(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 3: " + lab.mac(1) +
                         ": the checks refused the new settings (checked against lan1, network "
                         "127.0.175.0/24)"),
              std::string::npos)
        << r.err;
    write_file(file, "MAC,IP\n" + lab.mac(0) + ",127.0.176.20\n" + lab.mac(1) + ",127.0.175.20\n");
    r = lab.run({"set", "--from", Q(file), "--check", "--no-names"}, env);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lab.fleet->device(0).config.ip, "127.0.176.20");
    EXPECT_EQ(lab.fleet->device(1).config.ip, "127.0.175.20");
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
