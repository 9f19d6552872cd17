#include "setupdiff.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kelvo::history;

const std::string kBase = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<set:Root xmlns:set=\"http://example.invalid/set\">\n"
                          "  <Network>\n    <IPAddr>10.0.0.5</IPAddr>\n"
                          "    <Name>Boiler room</Name>\n  </Network>\n"
                          "  <Email><Pswd>hunter2</Pswd><Port>25</Port></Email>\n"
                          "  <Time><Date>01.01.2026</Date><SNTPServer>ntp</SNTPServer></Time>\n"
                          "  <SenSet>\n"
                          "    <Entry><Idx>2</Idx><Name>Boiler</Name><Value>21.5</Value></Entry>\n"
                          "    <Entry><Idx>10</Idx><Name>Tank</Name><Value>4.0</Value></Entry>\n"
                          "  </SenSet>\n  <User></User>\n"
                          "</set:Root>\n";

std::string Replace(std::string text, const std::string &from, const std::string &to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string Diff(const std::string &a, const std::string &b, bool secrets = false) {
    Settings sa, sb;
    std::string error;
    EXPECT_TRUE(ReadSettings(a, sa, &error)) << error;
    EXPECT_TRUE(ReadSettings(b, sb, &error)) << error;
    return DiffText(Compare(sa, sb), secrets);
}

TEST(SetupDiff, ReportsExactlyTheSettingsThatChanged) {
    // Layout, line ends, element order and entry order that leave every
    // setting as it was, and readings (clock, sensor values): no difference.
    std::string same = Replace(kBase,
                               "    <Entry><Idx>2</Idx><Name>Boiler</Name><Value>21.5"
                               "</Value></Entry>\n",
                               "");
    same = Replace(same, "</SenSet>",
                   "<Entry>\r\n\t<Name>  Boiler\t</Name>\r\n<Value>30</Value><Idx> 2 </Idx>"
                   "</Entry></SenSet>");
    same =
        Replace(same, "<Pswd>hunter2</Pswd><Port>25</Port>", "<Port>25</Port><Pswd>hunter2</Pswd>");
    same = Replace(same, "01.01.2026", "02.02.2027");
    EXPECT_EQ(Diff(kBase, same), "");

    const struct {
        std::string b;
        std::string text;
    } cases[] = {
        {Replace(kBase, "10.0.0.5", "10.0.0.7"), "Network/IPAddr: 10.0.0.5 -> 10.0.0.7\n"},
        {Replace(kBase, "<Name>Boiler</Name>", "<Name>Boiler 2</Name>"),
         "SenSet/Entry[2]/Name: \"Boiler\" -> \"Boiler 2\"\n"},
        // Entries are told by Idx, numbers ordered as numbers.
        {Replace(Replace(kBase, "<Name>Boiler</Name>", "<Name>B\"x</Name>"), "Tank", "Tank 2"),
         "SenSet/Entry[2]/Name: \"Boiler\" -> \"B\\\"x\"\n"
         "SenSet/Entry[10]/Name: \"Tank\" -> \"Tank 2\"\n"},
        {Replace(kBase, "hunter2", "swordfish"), "Email/Pswd: *** -> ***\n"},
        {Replace(kBase, "<Port>25</Port>", ""), "Email/Port: 25 -> (none)\n"},
        // An empty list against a filled one: only the new entry's settings.
        {Replace(kBase, "<User></User>",
                 "<User><Entry><Idx>0</Idx><Name>admin</Name></Entry></User>"),
         "User/Entry[0]/Idx: (none) -> 0\nUser/Entry[0]/Name: (none) -> \"admin\"\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Diff(kBase, c.b), c.text) << c.b;
    EXPECT_EQ(Diff(kBase, Replace(kBase, "hunter2", "swordfish"), true),
              "Email/Pswd: \"hunter2\" -> \"swordfish\"\n");
}

TEST(SetupDiff, EntriesWithoutAUsableIdxGoByTheirPlace) {
    const std::string a = "<Root><L><Entry><Idx>1</Idx><N>a</N></Entry>"
                          "<Entry><Idx>1</Idx><N>b</N></Entry><Entry><N>c</N></Entry></L></Root>";
    EXPECT_EQ(Diff(a, Replace(a, "<N>c</N>", "<N>d</N>")), "L/Entry[#3]/N: \"c\" -> \"d\"\n");
    EXPECT_EQ(Diff(a, Replace(a, "<N>b</N>", "<N>e</N>")), "L/Entry[#2]/N: \"b\" -> \"e\"\n");
}

TEST(SetupDiff, JsonMasksSecretsAndMarksAbsentSides) {
    Settings a, b;
    std::string error;
    ASSERT_TRUE(ReadSettings("<Root><E><Pswd>x</Pswd></E></Root>", a, &error));
    ASSERT_TRUE(ReadSettings("<Root><E><Pswd>y</Pswd><To>a\nb</To></E></Root>", b, &error));
    EXPECT_EQ(DiffJson(Compare(a, b), false),
              "{\"equal\":false,\"differences\":["
              "{\"setting\":\"E/Pswd\",\"a\":\"***\",\"b\":\"***\",\"secret\":true},"
              "{\"setting\":\"E/To\",\"a\":null,\"b\":\"a\\u000ab\",\"secret\":false}]}\n");
    EXPECT_EQ(DiffJson(Compare(a, a), false), "{\"equal\":true,\"differences\":[]}\n");
}

TEST(SetupDiff, RefusesWhatIsNotOneDocument) {
    std::string deep;
    for (int i = 0; i <= kDepthMax + 1; ++i)
        deep += "<a>";
    deep += "x";
    for (int i = 0; i <= kDepthMax + 1; ++i)
        deep += "</a>";
    for (const std::string &text :
         {std::string(), std::string("hello"), std::string("<Root><A></Root>"), deep}) {
        Settings s;
        std::string error;
        EXPECT_FALSE(ReadSettings(text, s, &error)) << text;
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
