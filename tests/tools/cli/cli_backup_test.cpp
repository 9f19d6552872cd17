// kelvo-cli backup end to end: a folder of documents, whatever the devices
// and the disk do.
#include "cli_e2e.h"

#include <set>
#include <thread>

#include <sys/mount.h>

using namespace kelvo::test;

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
        EXPECT_TRUE(SameDocument(read_file(dir.path / name),
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
    write_file(dir.path / "Thermometer 1.xml", "an earlier backup");
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
    EXPECT_EQ(read_file(dir.path / "Thermometer 1.xml"), "an earlier backup");
    std::set<std::string> saved;
    for (std::size_t i : {0u, 1u}) {
        std::string mac = lab.mac(i);
        std::erase(mac, ':');
        const fs::path p = dir.path / ("Thermometer 1_" + mac + ".xml");
        saved.insert(read_file(p));
        EXPECT_EQ(Mode(p), 0600) << p;
    }
    EXPECT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved.count(""), 0u);
    EXPECT_EQ(Entries(dir.path), 3u);
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
    write_file(victim, "victim");
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
    EXPECT_EQ(read_file(victim), "victim");
    std::string mac = lab.mac(0);
    std::erase(mac, ':');
    EXPECT_TRUE(SameDocument(read_file(dir.path / ("Thermometer 1_" + mac + ".xml")),
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
                SameDocument(read_file(e.path()), lab.fleet->setup_xml(lab.mac(i))));
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
    write_file(good, "good");
    ASSERT_EQ(read_file(good), "good");
    {
        std::ofstream filler(dir.path / "filler", std::ios::binary);
        for (int i = 0; i < 64 && filler; ++i)
            filler << std::string(1024, 'f') << std::flush;
    }
    const std::size_t before = Entries(dir.path);
    r = lab.run({"download", QString::fromStdString(lab.mac(kThermometer)), "-o", Q(good)});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(good), "good");
    EXPECT_EQ(Entries(dir.path), before);
    umount2(dir.path.c_str(), MNT_DETACH);
}
