// Parsing values.xml and setup.xml into the fixed structures.
#include "model_test_support.h"
#include "xml_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kelvo::test;

namespace {

// Every row's slots must follow the previous row's without gap or overlap,
// and every path must find its own row: the layout, the path table and the
// structure size come from one declaration and must agree.
void expect_table_consistent(const qvxml::field_table &t, size_t structure_size) {
    uint32_t expected_offset = sizeof(int32_t);
    for (int i = 0; i < t.count; ++i) {
        const qvxml::field_row &r = t.rows[i];
        SCOPED_TRACE(r.path);
        EXPECT_EQ(r.offset, expected_offset);
        expected_offset = r.offset + r.size * r.capacity;
        EXPECT_EQ(qvxml::find_field(t, r.path, std::strlen(r.path)), i);
        EXPECT_EQ(r.list >= 0, std::strstr(r.path, "_Entry_") != nullptr);
    }
    EXPECT_EQ(expected_offset, structure_size);
}

} // namespace

TEST(FieldTables, AreGeneratedConsistentlyWithTheStructures) {
    const qvxml::field_table &v = qvxml::values_table();
    const qvxml::field_table &s = qvxml::setup_table();
    ASSERT_EQ(v.count, 46);
    ASSERT_EQ(s.count, 161);
    EXPECT_STREQ(v.rows[0].path, "Root_Agent_Version");
    EXPECT_STREQ(v.rows[45].path, "Root_Time_Time");
    EXPECT_STREQ(s.rows[0].path, "Root_Agent_Version");
    EXPECT_STREQ(s.rows[160].path, "Root_Info");
    expect_table_consistent(v, sizeof(qvxml_values));
    expect_table_consistent(s, sizeof(qvxml_setup));

    EXPECT_EQ(qvxml::find_field(s, "Root_Agent", 10), -1);
    EXPECT_EQ(qvxml::find_field(s, "Root_Agent_Version_X", 20), -1);
    EXPECT_EQ(qvxml::find_field(s, "root_agent_version", 18), -1); // case-sensitive
    EXPECT_EQ(qvxml::find_field(s, "Root_Agent_Version", 17), -1); // a prefix is no match
    int dest = qvxml::find_field(s, "Root_GroupSet_Entry_Dest_Snmp1", 30);
    ASSERT_GE(dest, 0);
    EXPECT_EQ(s.rows[dest].offset, offsetof(qvxml_setup, GroupSet_Entry_Dest_Snmp1));
    EXPECT_EQ(s.rows[dest].capacity, 42);
}

TEST(ParseValues, OnlyAgentVersionLeavesEverythingElseEmpty) {
    values_doc d = parse_values(document("<Agent><Version>1.2.3</Version></Agent>"));
    EXPECT_EQ(d.result, 0);
    EXPECT_STREQ(d.v->Agent_Version, "1.2.3");
    auto expected = std::make_unique<qvxml_values>();
    std::memset(expected.get(), 0, sizeof *expected);
    std::strcpy(expected->Agent_Version, "1.2.3");
    EXPECT_EQ(std::memcmp(d.v.get(), expected.get(), sizeof *expected), 0);
    EXPECT_EQ(d.c.BinaryInSet + d.c.BinaryOutSet + d.c.SenSet, 0);
}

TEST(ParseValues, EntriesFillConsecutiveSlotsPerList) {
    values_doc d = parse_values(
        document("<BinaryInSet><Entry><ID>1</ID><Idx>7</Idx></Entry><Entry><ID>2</ID></Entry>"
                 "<AlarmAction>3</AlarmAction></BinaryInSet>"
                 "<BinaryOutSet><Entry><Name>a</Name></Entry><Entry><Name>b</Name></Entry>"
                 "<Entry><Name>c</Name></Entry></BinaryOutSet>"));
    EXPECT_EQ(d.c.BinaryInSet, 2);
    EXPECT_EQ(d.c.BinaryOutSet, 3);
    EXPECT_EQ(d.c.SenSet, 0);
    EXPECT_STREQ(d.v->BinaryInSet_Entry_ID[0], "1");
    EXPECT_STREQ(d.v->BinaryInSet_Entry_ID[1], "2");
    EXPECT_STREQ(d.v->BinaryInSet_Entry_Idx[0], "7"); // Idx is a field, not the slot
    EXPECT_STREQ(d.v->BinaryInSet_AlarmAction, "3");
    EXPECT_STREQ(d.v->BinaryOutSet_Entry_Name[0], "a");
    EXPECT_STREQ(d.v->BinaryOutSet_Entry_Name[2], "c");
    EXPECT_STREQ(d.v->BinaryOutSet_Entry_Name[3], "");
}

TEST(ParseValues, StoringRuleKeepsAtMostSizeMinusTwoAndJoinsPieces) {
    values_doc d = parse_values(document("<Agent><Version>1234567890</Version>"
                                         "<XmlVer>12345678901</XmlVer>"
                                         "<DeviceName>Boiler &amp; store &lt;1&gt;</DeviceName>"
                                         "<Title>" +
                                         std::string(150, 't') + "</Title><Contact>" +
                                         std::string(151, 'c') + "</Contact></Agent>"));
    EXPECT_STREQ(d.v->Agent_Version, "1234567890");
    EXPECT_STREQ(d.v->Agent_XmlVer, "");
    EXPECT_STREQ(d.v->Agent_DeviceName, "Boiler & store <1>");
    EXPECT_EQ(std::string(d.v->Agent_Title), std::string(150, 't'));
    EXPECT_STREQ(d.v->Agent_Contact, "");

    // A piece that no longer fits is dropped whole; what was stored stays.
    d = parse_values(document("<Agent><Version>abcdefgh&amp;xyz</Version></Agent>"));
    EXPECT_STREQ(d.v->Agent_Version, "abcdefgh&");

    // White space is text like any other inside a stored element.
    d = parse_values(document("<Agent><Version> 1 </Version><Model>\n</Model></Agent>"));
    EXPECT_STREQ(d.v->Agent_Version, " 1 ");
    EXPECT_STREQ(d.v->Agent_Model, "\n");
}

TEST(ParseValues, UnknownElementsAttributesAndWhitespaceOutsideFieldsChangeNothing) {
    values_doc plain = parse_values(document("<Agent><Version>1</Version></Agent>"));
    values_doc noisy = parse_values(
        "<?xml version=\"1.0\"?>\n<!-- c -->\n<Root a=\"1\">\n  <Agent kind=\"x\">\n"
        "    <Version id=\"2\">1</Version>\n    <Firmware>9</Firmware>\n"
        "    <Version2>8</Version2>\n  </Agent>\n  <Extra><Version>7</Version></Extra>\n</Root>\n");
    EXPECT_EQ(noisy.result, 0);
    EXPECT_EQ(std::memcmp(plain.v.get(), noisy.v.get(), sizeof(qvxml_values)), 0);
}

TEST(ParseValues, PrefixedRootIsReadLikeRoot) {
    std::string body = "<Agent><Version>1.2.3</Version></Agent>"
                       "<SenSet><Entry><Name>t</Name></Entry></SenSet>";
    values_doc plain = parse_values(document(body));
    std::string prefixed = "<?xml version=\"1.0\"?>\n<!-- <val:Root> in a comment -->\n"
                           "<val:Root xmlns:val=\"http://x\" note='a>b'>" +
                           body + "</val:Root>";
    const std::string original = prefixed;
    values_doc d = parse_values(prefixed);
    EXPECT_GT(d.result, 0); // the end tag no longer matches, after all content
    EXPECT_EQ(std::memcmp(plain.v.get(), d.v.get(), sizeof(qvxml_values)), 0);
    EXPECT_EQ(d.c.SenSet, 1);
    EXPECT_EQ(prefixed, original);

    // Each kind has its own prefix; a setup prefix on values is not rewritten.
    values_doc other = parse_values("<set:Root>" + body + "</set:Root>");
    EXPECT_STREQ(other.v->Agent_Version, "");
    setup_doc s = parse_setup("<set:Root>" + body + "</set:Root>");
    EXPECT_STREQ(s.s->Agent_Version, "1.2.3");
}

TEST(ParseValues, EntriesBeyondCapacityAreIgnored) {
    std::string entries;
    for (int i = 0; i < 70; ++i) {
        entries += "<Entry><ID>" + std::to_string(i) + "</ID></Entry>";
    }
    values_doc d = parse_values(document("<BinaryInSet>" + entries +
                                         "<AlarmAction>5</AlarmAction></BinaryInSet>"
                                         "<BinaryOutSet><Entry><ID>x</ID></Entry></BinaryOutSet>"));
    EXPECT_EQ(d.c.BinaryInSet, 64);
    EXPECT_STREQ(d.v->BinaryInSet_Entry_ID[63], "63");
    EXPECT_STREQ(d.v->BinaryInSet_Entry_Name[0], ""); // the array after ID is untouched
    EXPECT_STREQ(d.v->BinaryInSet_AlarmAction, "5");
    EXPECT_EQ(d.c.BinaryOutSet, 1);
    EXPECT_STREQ(d.v->BinaryOutSet_Entry_ID[0], "x");
}

TEST(ParseValues, DeepOrLongPathsAreIgnoredWithoutOverflow) {
    std::string long_name(12000, 'N');
    values_doc d = parse_values(document("<Agent><" + long_name + "><" + long_name + ">x</" +
                                         long_name + "><Version>9</Version></" + long_name +
                                         "><Version>1</Version></Agent>"));
    EXPECT_EQ(d.result, 0);
    EXPECT_STREQ(d.v->Agent_Version, "1");

    std::string open, close;
    for (int i = 0; i < 2000; ++i) {
        open += "<Entry>";
        close += "</Entry>";
    }
    d = parse_values(
        document("<Agent><Version>2</Version></Agent><SenSet>" + open + close + "</SenSet>"));
    EXPECT_GT(d.result, 0); // the parser's own depth limit ends the document
    EXPECT_STREQ(d.v->Agent_Version, "2");
    EXPECT_LE(d.c.SenSet, 42);
}

TEST(ParseSetup, SampleDocumentFillsEverySection) {
    std::string text = read_data("setup.xml");
    ASSERT_LT(text.size(), 20000u);
    setup_doc d = parse_setup(text);
    EXPECT_EQ(d.result, 0);
    qvxml_setup_counts expected{12, 8, 11, 4, 2, 4, 4, 2, 2};
    EXPECT_EQ(std::memcmp(&d.c, &expected, sizeof expected), 0);
    EXPECT_STREQ(d.s->Agent_DeviceName, "Boiler room & store");
    EXPECT_STREQ(d.s->Status_NtpState, "synchronised");
    EXPECT_STREQ(d.s->BinaryInSet_Entry_Dest_Mail1[11], "1");
    EXPECT_STREQ(d.s->BinaryInSet_AlarmAction, "0");
    EXPECT_STREQ(d.s->SenSet_Entry_E[10], "1");
    EXPECT_STREQ(d.s->GroupSet_Entry_Alarm_Subj[1], "Group alarm");
    EXPECT_STREQ(d.s->SnmpTraps_Entry_IPaddr[3], "192.168.1.23");
    EXPECT_STREQ(d.s->DataLogger_Report_To, "ops@example.com");
    EXPECT_STREQ(d.s->Email_Message, "Alarm on <%n>");
    EXPECT_STREQ(d.s->User_Entry_Name[1], "guest");
    EXPECT_STREQ(d.s->Info, "1");
}

TEST(ParseSetup, BrokenOrEmptyDocuments) {
    setup_doc d = parse_setup("");
    EXPECT_EQ(d.result, -1);
    d = parse_setup("no xml here at all");
    EXPECT_GT(d.result, 0);
    EXPECT_EQ(d.c.User, 0);
    // Everything before the break is stored.
    d = parse_setup("<Root><Network><Name>dev</Name></Network><User><Entry><Name>a</Name>");
    EXPECT_GT(d.result, 0);
    EXPECT_STREQ(d.s->Network_Name, "dev");
    EXPECT_STREQ(d.s->User_Entry_Name[0], "a");
    EXPECT_EQ(d.c.User, 0);
}

// parse_document against a slot's cached results: results are allocated once,
// cleared by every parse, and the caller's text is never changed.
TEST(ParseDocument, FillsSlotResultsAndClearsEarlierDocuments) {
    const int handle = 57;
    auto sensors = [](int n) {
        std::string s = "<?xml version=\"1.0\"?><val:Root xmlns:val=\"u\"><SenSet>";
        for (int i = 0; i < n; ++i) {
            s += "<Entry><Name>s" + std::to_string(i) + "</Name></Entry>";
        }
        return s + "</SenSet></val:Root>";
    };
    std::string five = sensors(5);
    const std::string five_copy = five;
    ASSERT_EQ(qvxml::parse_document(handle, five.data(), static_cast<int>(five.size()), 0), 0);
    EXPECT_EQ(five, five_copy);
    qvxml::parse_results *r = qvxml::slot_results(handle);
    ASSERT_NE(r->values, nullptr);
    EXPECT_EQ(r->values_counts->SenSet, 5);
    qvxml_values *first = r->values;

    std::string two = sensors(2);
    ASSERT_EQ(qvxml::parse_document(handle, two.data(), static_cast<int>(two.size()), 0), 0);
    EXPECT_EQ(r->values, first);
    EXPECT_EQ(r->values_counts->SenSet, 2);
    for (int i = 2; i < 5; ++i) {
        EXPECT_STREQ(r->values->SenSet_Entry_Name[i], "");
    }
    EXPECT_EQ(r->setup, nullptr);

    qvxml_error_record record{};
    EXPECT_EQ(qvxml::parse_document(handle, two.data(), 0, 1), -1);
    qvxml_error(handle, &record);
    EXPECT_EQ(record.code, 45);
    EXPECT_STREQ(record.text, "XML file not valid");
    qvxml::slot_free_results(handle);
}

namespace {

struct seen_parse {
    std::string text;
    int kind = -1;
    int parser_result = -100;
    std::string version;
};

} // namespace

// Through a real handle: the worker parses a loaded document with the
// callbacks of the handle, and the stored document stays the caller's bytes.
TEST(ParseDocument, CallbacksOfAHandleSeeTheOriginalText) {
    ASSERT_EQ(qvxml_init(), 0);
    seen_parse seen;
    qvxml_options options{};
    options.callbacks.after_parse = [](int, void *user_data, const char *text, int length, int kind,
                                       void *structure, void *, int *result) {
        auto *s = static_cast<seen_parse *>(user_data);
        s->text.assign(text, length);
        s->kind = kind;
        s->parser_result = *result;
        s->version = static_cast<qvxml_values *>(structure)->Agent_Version;
    };
    int handle = qvxml_open("127.0.0.1", 9, &options, &seen);
    ASSERT_GT(handle, 0);
    ASSERT_EQ(qvxml_wait_finish(handle, 0, 5), 0);

    const std::string doc = "<?xml version=\"1.0\"?>\n<val:Root xmlns:val=\"urn:x\">"
                            "<Agent><Version>4.5</Version></Agent></val:Root>\n";
    ASSERT_EQ(qvxml_load_values(handle, doc.data(), static_cast<int>(doc.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(handle, 9, 5), 0);
    EXPECT_EQ(seen.text, doc);
    EXPECT_EQ(seen.kind, 0);
    EXPECT_GT(seen.parser_result, 0); // the prefixed end tag no longer matches
    EXPECT_EQ(seen.version, "4.5");
    char *stored = nullptr;
    int stored_length = 0;
    ASSERT_EQ(qvxml_get_values_xml(handle, &stored, &stored_length), 0);
    EXPECT_EQ(std::string(stored, stored_length), doc);

    qvxml_callbacks refuse{};
    refuse.custom_parser = [](int, void *, const char *, int, int) { return 1; };
    ASSERT_EQ(qvxml_callback(handle, &refuse), 0);
    ASSERT_EQ(qvxml_load_values(handle, doc.data(), static_cast<int>(doc.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(handle, 9, 5), 0);
    qvxml_error_record record{};
    qvxml_error(handle, &record);
    EXPECT_EQ(record.code, 45);

    EXPECT_EQ(qvxml_close(handle), 0);
    EXPECT_EQ(qvxml_uninit(), 0);
}
