// The main window's transfers end to end against the device simulator: the
// session, the real XML client library and a simulated device on loopback.
#include "session_fixture.h"
#include "test_files.h"

#include <devsim.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <sstream>

using namespace mvxapi;
using namespace kelvo::test;
using kelvo::devsim::DeviceConfig;
using kelvo::devsim::Fleet;
using kelvo::devsim::FleetConfig;

namespace {

class DeviceFlow : public ::testing::Test {
protected:
    // One thermometer with three sensors (IDs 301 to 303) on `ip`.
    void Start(const std::string &ip, DeviceConfig device = {}) {
        device.ip = ip;
        device.port = 0;
        device.setup_port = 0;
        device.sensors = 3;
        FleetConfig config;
        config.udp_port = 0;
        config.devices = {device};
        fleet = std::make_unique<Fleet>(config);
        std::string error;
        ASSERT_TRUE(fleet->start(&error)) << error;
        mac = fleet->device(0).config.mac;
        s = std::make_unique<TIoXml>(nullptr);
        s->host = ip;
        s->port = fleet->device(0).http_port;
        rec.Attach(*s);
    }

    // Waits for the next setup, upload or error event; true for `what`.
    bool Next(const std::string &what) {
        const size_t before = rec.events.size();
        PumpUntil([&] {
            for (size_t i = before; i < rec.events.size(); ++i) {
                const auto &e = rec.events[i];
                if (e == "setup" || e == "sent" || e == "error")
                    return true;
            }
            return false;
        });
        for (size_t i = before; i < rec.events.size(); ++i) {
            if (rec.events[i] == "setup" || rec.events[i] == "sent" || rec.events[i] == "error")
                return rec.events[i] == what;
        }
        return false;
    }

    std::vector<std::string> HttpLog() const {
        std::vector<std::string> out;
        for (const auto &line : fleet->log()) {
            if (line.find("\"kind\":\"http\"") != std::string::npos)
                out.push_back(line);
        }
        return out;
    }

    std::string Write(const std::string &content) {
        const std::string path = dir.filePath("config.xml").toStdString();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::unique_ptr<Fleet> fleet;
    std::string mac;
    Recorder rec;
    std::unique_ptr<TIoXml> s; // declared after the fleet: goes first
    QTemporaryDir dir;
};

} // namespace

TEST_F(DeviceFlow, DownloadWritesTheDevicesDocument) {
    Start("127.0.60.1");
    ASSERT_EQ(s->Open(), 0);
    const std::string before = fleet->setup_xml(mac);
    ASSERT_EQ(s->GetSetup(), 0);
    ASSERT_TRUE(Next("setup"));
    const std::string after = fleet->setup_xml(mac);
    EXPECT_EQ(rec.setups[0].setup_counts->SenSet, 3);
    EXPECT_FALSE(rec.offGuiThread);

    const std::string path = dir.filePath("download.xml").toStdString();
    ASSERT_EQ(s->GetSetupToFile(path.c_str()), 0);
    const std::string file = read_file(path);
    // The document carries the device's clock: it matches one of the two.
    EXPECT_TRUE(file == before || file == after) << file.substr(0, 200);
    EXPECT_EQ(s->Close(), 0);
}

TEST_F(DeviceFlow, UploadAppliesKnownSensorsAndDropsUnknownOnes) {
    Start("127.0.60.2");
    ASSERT_EQ(s->Open(), 0);
    ASSERT_EQ(s->GetSetup(), 0);
    ASSERT_TRUE(Next("setup"));

    std::string doc = fleet->setup_xml(mac);
    const auto name = doc.find("<ID>302</ID>");
    ASSERT_NE(name, std::string::npos);
    const auto nameAt = doc.rfind("<Name>", name);
    const auto nameEnd = doc.find("</Name>", nameAt);
    doc.replace(nameAt, nameEnd - nameAt, "<Name>Renamed");
    const auto sensetEnd = doc.find("</SenSet>");
    ASSERT_NE(sensetEnd, std::string::npos);
    doc.insert(sensetEnd, "<Entry><Idx>4</Idx><Name>Ghost</Name><ID>399</ID></Entry>\n");

    ASSERT_EQ(s->SendSetupFile(Write(doc).c_str(), true), 0);
    ASSERT_TRUE(Next("sent"));
    EXPECT_EQ(rec.setups.back().state, xsSendSetup);
    EXPECT_EQ(s->GetState(), xsReady);

    const auto log = HttpLog();
    ASSERT_FALSE(log.empty());
    const std::string &post = log.back();
    EXPECT_NE(post.find("\"method\":\"POST\""), std::string::npos);
    EXPECT_NE(post.find("Renamed"), std::string::npos);
    EXPECT_NE(post.find("<ID>301</ID>"), std::string::npos);
    EXPECT_NE(post.find("<ID>303</ID>"), std::string::npos);
    EXPECT_EQ(post.find("<ID>399</ID>"), std::string::npos);
    EXPECT_EQ(post.find("Ghost"), std::string::npos);
    EXPECT_NE(fleet->setup_xml(mac).find("<Name>Renamed</Name>"), std::string::npos);
}

TEST_F(DeviceFlow, CredentialsAreAskedForAndCutTo99Characters) {
    DeviceConfig device;
    device.http_user = std::string(99, 'u');
    device.http_password = std::string(99, 'p');
    Start("127.0.60.3", device);

    ASSERT_EQ(s->Open(), 0);
    ASSERT_EQ(s->GetSetup(), 0);
    ASSERT_TRUE(Next("error"));
    EXPECT_EQ(rec.errors.back().operation, xsSetup);
    EXPECT_EQ(rec.errors.back().code, 48);
    EXPECT_EQ(rec.errors.back().text, "HTTP: Unauthorized");
    EXPECT_FALSE(rec.offGuiThread);

    // What the main window does next: close, take the credentials, reopen.
    EXPECT_EQ(s->Close(), 0);
    s->user = std::string(150, 'u');
    s->password = std::string(150, 'p');
    ASSERT_EQ(s->Open(), 0);
    ASSERT_EQ(s->GetSetup(), 0);
    ASSERT_TRUE(Next("setup"));
    EXPECT_NE(HttpLog().back().find("\"auth\":\"" + std::string(99, 'u') + "\""),
              std::string::npos);
}

TEST_F(DeviceFlow, IndexedSensorSetterThroughTheTrialConnection) {
    Start("127.0.60.4");
    s->indexed = 1;
    ASSERT_EQ(s->Open(), 0);
    ASSERT_EQ(s->SetSensorLimits(302, -10, 45.5), 0);
    EXPECT_EQ(s->GetState(), xsSensorLimits);
    ASSERT_TRUE(Next("sent"));
    EXPECT_EQ(rec.setups.back().state, xsSensorLimits);
    EXPECT_EQ(s->GetState(), xsReady);

    const auto log = HttpLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("\"path\":\"/values.xml\""), std::string::npos);
    EXPECT_NE(log[1].find("<Idx>2</Idx>"), std::string::npos);
    const std::string setup = fleet->setup_xml(mac);
    EXPECT_NE(setup.find("<Min>-10.0</Min>"), std::string::npos);
    EXPECT_NE(setup.find("<Max>45.5</Max>"), std::string::npos);

    ASSERT_EQ(s->SetSensorCalib(399, 1.0), 0);
    ASSERT_TRUE(Next("error"));
    EXPECT_EQ(rec.errors.back().text, "Invalid sensor ID");
    EXPECT_EQ(rec.errors.back().code, 16);
    EXPECT_EQ(s->GetState(), xsReady);
    EXPECT_FALSE(rec.offGuiThread);
}
