// Firmware rule, unit table and the document views.
#include "session_fixture.h"

#include <mvxapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>

using namespace mvxapi;

TEST(Tables, FirmwareRule) {
    for (const char *v : {"2.34", "2.35", "2.36"})
        EXPECT_TRUE(IsNewFirmware(v, 0)) << v;
    for (const char *v : {"2.3", "2.37", "2.340", " 2.34", "", "2.0"})
        EXPECT_FALSE(IsNewFirmware(v, 0)) << v;
    EXPECT_TRUE(IsNewFirmware("2.0", 1));
    EXPECT_FALSE(IsNewFirmware("2.00", 1));
    EXPECT_FALSE(IsNewFirmware("2.34", 1));
    EXPECT_FALSE(IsNewFirmware("2.0", 2));
    for (int kind : {3, 4, 5})
        EXPECT_TRUE(IsNewFirmware("anything", kind));
    for (int kind : {6, 7, 100, -1})
        EXPECT_FALSE(IsNewFirmware("2.0", kind));
    EXPECT_FALSE(IsNewFirmware(nullptr, 0));
}

// A few known units, case-blind whole-text matching, and the fallback with
// its one exception for sensor type 43.
TEST(Tables, UnitCodes) {
    const struct {
        const char *unit;
        const char *type;
        int code;
    } rows[] = {
        {"C", "", 0},    {"%RH", "", 3},  {"kWh", "", 14}, {"Wh", "", 15}, {"m3/h", "", 23},
        {"LUX", "", 24}, {"kwh", "", 14}, {"dp c", "", 9}, {"F", "", 8},   {"", "", 8},
        {"kWh ", "", 8}, {"F", "43", 11}, {"F", "430", 8}, {"C", "43", 0}, {nullptr, nullptr, 8},
    };
    for (const auto &r : rows)
        EXPECT_EQ(UnitCode(r.unit, r.type), r.code) << "row " << &r - rows;
}

namespace {

// Texts into the fixed fields of a document, each cut to its field.
struct Text {
    std::span<char> field;
    const char *text;
};

void Put(std::initializer_list<Text> texts) {
    for (const Text &t : texts)
        strncpy(t.field.data(), t.text, t.field.size() - 1);
}

} // namespace

TEST(Views, ValuesViewDecodesByFirmware) {
    auto values = std::make_unique<qvxml_values>();
    qvxml_values_counts counts{};
    counts.SenSet = 3;
    counts.BinaryOutSet = 1;
    Put({
        {values->Agent_Version, "1.0"},
        {values->SenSet_Entry_ID[0], "5"},
        {values->SenSet_Entry_Name[0], "Room"},
        {values->SenSet_Entry_Value[0], "21.5"},
        {values->SenSet_Entry_Units[0], "C"},
        {values->SenSet_Entry_Min[0], "10"},
        {values->SenSet_Entry_Max[0], "20"},
        {values->SenSet_Entry_ID[1], "9"},
        {values->SenSet_Entry_Value[1], "15"},
        {values->SenSet_Entry_Min[1], "10"},
        {values->SenSet_Entry_Max[1], "20"},
        {values->SenSet_Entry_State[1], "2"},
        {values->SenSet_Entry_ID[2], "12"},
        {values->BinaryOutSet_Entry_ID[0], "151"},
        {values->BinaryOutSet_Entry_Value[0], "1"},
        {values->BinaryOutSet_Entry_Mode[0], "2"},
    });

    TValuesXml<TValuesXmlBuffer> view(values.get(), &counts);
    TXmlEntry e;
    ASSERT_TRUE(view.GetSensorEntry(0, e));
    EXPECT_EQ(e.id, 5);
    EXPECT_EQ(e.name, "Room");
    EXPECT_DOUBLE_EQ(e.value, 21.5);
    EXPECT_EQ(e.unit, 0);
    EXPECT_EQ(e.state, esOutOfRange); // old firmware: derived from the limits
    ASSERT_TRUE(view.GetSensorEntry(1, e));
    EXPECT_EQ(e.state, esNormal);
    ASSERT_TRUE(view.GetSensorEntry(2, e));
    EXPECT_EQ(e.state, esSensorInvalid); // no reading
    EXPECT_FALSE(view.GetSensorEntry(3, e));
    EXPECT_FALSE(view.GetSensorEntry(-1, e));

    Put({{values->Agent_Version, "2.35"}}); // new firmware: State is sent
    ASSERT_TRUE(view.GetSensorEntry(1, e));
    EXPECT_EQ(e.state, esAlarm);

    ASSERT_TRUE(view.GetBinaryOutEntry(0, e));
    EXPECT_EQ(e.id, 151);
    EXPECT_EQ(e.mode, 2);
    EXPECT_FALSE(view.GetBinaryInEntry(0, e));

    EXPECT_EQ(SensorIndex(values.get(), &counts, 12), 3);
    EXPECT_EQ(SensorIndex(values.get(), &counts, 13), -1);
    // A count beyond the capacity never reads past the arrays.
    counts.SenSet = 1000;
    EXPECT_EQ(view.SensorCount(), QVXML_LIST_MAX_SenSet);
    EXPECT_EQ(SensorIndex(values.get(), &counts, 999), -1);
    EXPECT_EQ(SensorIndex(nullptr, &counts, 5), -1);
}

TEST(Views, ReadingsUseAPointInEveryLocale) {
    kelvo::test::DecimalCommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no decimal-comma locale installed";
    auto values = std::make_unique<qvxml_values>();
    qvxml_values_counts counts{};
    counts.SenSet = 1;
    Put({
        {values->SenSet_Entry_ID[0], "5"},
        {values->SenSet_Entry_Value[0], "21.5"},
        {values->SenSet_Entry_Min[0], "-0.5"},
        {values->SenSet_Entry_Max[0], "21.25"},
    });
    TValuesXml<TValuesXmlBuffer> view(values.get(), &counts);
    TXmlEntry e;
    ASSERT_TRUE(view.GetSensorEntry(0, e));
    EXPECT_DOUBLE_EQ(e.value, 21.5);
    EXPECT_EQ(e.state, esOutOfRange); // 21.5 is above 21.25, not 21 within -0 to 21
}

TEST(Views, SetupViewReplacesTheAccessors) {
    auto setup = std::make_unique<qvxml_setup>();
    qvxml_setup_counts counts{};
    counts.SenSet = 1;
    counts.BinaryInSet = 1;
    Put({
        {setup->SenSet_Entry_ID[0], "7"},
        {setup->SenSet_Entry_State[0], "3"},
        {setup->SenSet_Entry_Units[0], "kWh"},
        {setup->BinaryInSet_Entry_ID[0], "1"},
        {setup->BinaryInSet_Entry_AlarmState[0], "2"},
    });

    std::unique_ptr<TValuesXml<TSetupXmlBuffer>> view =
        std::make_unique<TSetupXml<TSetupXmlBuffer>>(setup.get(), &counts);
    TXmlEntry e;
    ASSERT_TRUE(view->GetSensorEntry(0, e));
    EXPECT_EQ(e.id, 7);
    EXPECT_EQ(e.state, esSensorInvalid);
    EXPECT_EQ(e.unit, 14);
    ASSERT_TRUE(view->GetBinaryInEntry(0, e));
    EXPECT_EQ(e.mode, 2);

    EXPECT_TRUE(SetupHasSensorId(setup.get(), &counts, 7));
    EXPECT_FALSE(SetupHasSensorId(setup.get(), &counts, 8));
    EXPECT_STREQ(StateText(esOutOfRange), "Out of range");
    EXPECT_STREQ(StateText(99), "-");
    EXPECT_STREQ(EntryKindText(ekRelayOut), "Realy output");
}
