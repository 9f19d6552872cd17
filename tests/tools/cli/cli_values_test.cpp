// kelvo-cli values end to end.
#include "cli_e2e.h"

#include <clocale>

using namespace clitest;

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
