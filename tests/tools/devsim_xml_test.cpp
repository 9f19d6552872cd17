// The simulated devices as the device XML client library sees them: every
// model's documents download and parse into the library's structures, the
// meter dialect included, and an upload through the library changes the
// device.
#include "devsim.h"

#include "qvxml.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace kelvo::devsim;

namespace {

struct XmlClient : ::testing::Test {
    static void SetUpTestSuite() { ASSERT_EQ(qvxml_init(), 0); }
    static void TearDownTestSuite() { qvxml_uninit(); }

    // Six mixed devices from `first_ip` on ports the system chose; null,
    // with the reason reported, when they did not start.
    static std::unique_ptr<Fleet> start_fleet(const char *first_ip) {
        FleetConfig cfg;
        cfg.udp_port = 0;
        cfg.devices = mixed_devices(6, true, first_ip);
        auto fleet = std::make_unique<Fleet>(cfg);
        std::string err;
        if (fleet->start(&err))
            return fleet;
        ADD_FAILURE() << err;
        return nullptr;
    }

    int open(const DeviceState &d) {
        qvxml_options opt;
        std::memset(&opt, 0, sizeof opt);
        std::snprintf(opt.get_user, sizeof opt.get_user, "%s", d.config.http_user.c_str());
        std::snprintf(opt.get_password, sizeof opt.get_password, "%s",
                      d.config.http_password.c_str());
        std::snprintf(opt.set_user, sizeof opt.set_user, "%s", d.config.http_user.c_str());
        std::snprintf(opt.set_password, sizeof opt.set_password, "%s",
                      d.config.http_password.c_str());
        const int h = qvxml_open(d.config.ip.c_str(), d.http_port, &opt, nullptr);
        EXPECT_GT(h, 0);
        EXPECT_EQ(qvxml_wait_finish(h, 0, 5), 0);
        return h;
    }
};

// Waits for a request the library took (`started` 0) to end with `what` and
// takes the document and its counts from the library's cache.
template <class Cache, class Doc, class Counts>
::testing::AssertionResult finished(int h, int started, int what, Cache cache, Doc *&doc,
                                    Counts *&counts) {
    if (started != 0)
        return ::testing::AssertionFailure() << "request refused: " << started;
    if (const int r = qvxml_wait_finish(h, what, 10); r != 0)
        return ::testing::AssertionFailure() << "no end " << what << ": " << r;
    if (cache(h, &doc, &counts) != 0 || doc == nullptr)
        return ::testing::AssertionFailure() << "nothing in the cache";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(XmlClient, EveryModelDownloadsAndParsesIntoTheLibraryStructures) {
    const auto started = start_fleet("127.0.32.1");
    ASSERT_TRUE(started);
    Fleet &fleet = *started;

    for (const auto &d : fleet.devices()) {
        if (!d.http_port)
            continue;
        SCOPED_TRACE(d.config.mac + " model " + d.config.model);
        const int h = open(d);
        qvxml_values *values = nullptr;
        qvxml_values_counts *vc = nullptr;
        ASSERT_TRUE(finished(h, qvxml_get_values(h), 2, qvxml_get_values_cache, values, vc));
        EXPECT_STREQ(values->Agent_DeviceName, d.config.name.c_str());
        EXPECT_STREQ(values->Agent_Model, d.config.model.c_str());
        EXPECT_EQ(vc->SenSet, static_cast<int32_t>(d.config.sensors));
        EXPECT_EQ(vc->BinaryInSet, static_cast<int32_t>(d.config.inputs));
        if (d.config.model == "45") {
            // Meter dialect: sensors come from Meter/Val with scaled limits.
            EXPECT_STREQ(values->SenSet_Entry_Name[0], "Line.Temperature");
            EXPECT_STREQ(values->SenSet_Entry_Max[0], "35.0");
            EXPECT_STREQ(values->SenSet_Entry_Value[0], "21.5");
            EXPECT_STREQ(values->BinaryInSet_Entry_Alarm[0], "1");
        } else if (d.config.sensors > 0) {
            EXPECT_STREQ(values->SenSet_Entry_Name[0], "Temperature");
            EXPECT_STREQ(values->SenSet_Entry_Units[0], "C");
        }

        qvxml_setup *setup = nullptr;
        qvxml_setup_counts *sc = nullptr;
        ASSERT_TRUE(finished(h, qvxml_get_setup(h), 4, qvxml_get_setup_cache, setup, sc));
        EXPECT_STREQ(setup->Network_IPAddr, d.config.ip.c_str());
        EXPECT_STREQ(setup->Network_HTTPport, std::to_string(d.config.port).c_str());
        EXPECT_EQ(sc->SnmpTraps, 4);
        EXPECT_EQ(sc->User, 2);
        EXPECT_EQ(sc->SenSet, static_cast<int32_t>(d.config.sensors));
        EXPECT_STREQ(setup->SnmpTraps_Entry_IPaddr[0], "127.0.0.1");
        qvxml_close(h);
    }
}

TEST_F(XmlClient, UploadThroughTheLibraryChangesTheDeviceAndAnswersItsNewSetup) {
    const auto started = start_fleet("127.0.33.1");
    ASSERT_TRUE(started);
    Fleet &fleet = *started;
    const DeviceState d = fleet.device(5); // asks for Basic authorisation
    ASSERT_FALSE(d.config.http_user.empty());

    const int h = open(d);
    const std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<Network>\n"
                            "<Name>Uploaded</Name>\n<IPAddr>10.9.9.9</IPAddr>\n</Network>\n"
                            "<SnmpTraps>\n<Entry>\n<IPaddr>127.0.0.7</IPaddr>\n<Idx>1</Idx>\n"
                            "</Entry>\n</SnmpTraps>\n</Root>\n";
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *sc = nullptr;
    ASSERT_TRUE(finished(h, qvxml_send_setup_xml(h, doc.c_str(), static_cast<int>(doc.size())), 7,
                         qvxml_get_setup_cache, setup, sc));
    EXPECT_STREQ(setup->Network_Name, "Uploaded") << "the answer is the new setup";
    EXPECT_STREQ(setup->SnmpTraps_Entry_IPaddr[0], "127.0.0.7");
    qvxml_close(h);

    const DeviceState after = fleet.device(5);
    EXPECT_EQ(after.config.name, "Uploaded");
    EXPECT_EQ(after.config.ip, d.config.ip) << "the upload filter keeps the address out";
    EXPECT_TRUE(fleet.wait_log(
        [](const std::string &l) {
            return l.find("\"method\":\"POST\"") != std::string::npos &&
                   l.find("\"auth\":\"admin\"") != std::string::npos &&
                   l.find("\"status\":200") != std::string::npos;
        },
        std::chrono::seconds(1)));
}
