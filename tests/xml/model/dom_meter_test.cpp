// The small DOM parser, the meter dialect and the fixed-point texts.
#include "model_test_support.h"
#include "test_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using namespace kelvo::test;
using qvxml::qvxml_dom_node;

namespace {

struct tree_deleter {
    void operator()(qvxml_dom_node *root) const { qvxml::dom_free(root); }
};
using tree = std::unique_ptr<qvxml_dom_node, tree_deleter>;

tree parse(const std::string &text) {
    return tree(qvxml::dom_parse(text.data(), text.size()));
}

std::string error_of(const std::string &text) {
    return qvxml::dom_error(parse(text).get());
}

// The start of a DOCTYPE whose entity l<n> expands to 10^n times "lol".
std::string nested_entities(int levels) {
    std::string doc = "<!DOCTYPE R [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= levels; ++i) {
        doc += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) {
            doc += "&l" + std::to_string(i - 1) + ";";
        }
        doc += "\">";
    }
    return doc;
}

} // namespace

TEST(DomParser, BuildsTheTreeWithNameGroupsAndDocumentOrder) {
    tree t = parse("<?xml version=\"1.0\"?>\n<Root a=\"1\" b='x\ty'>lead<A>1</A><B/><A k=\"v\">2"
                   "</A>mid<C><A>inner</A></C>tail</Root>\n");
    ASSERT_TRUE(t);
    EXPECT_STREQ(qvxml::dom_error(t.get()), "");
    EXPECT_STREQ(t->name, "Root");
    EXPECT_STREQ(qvxml::dom_text(t.get()), "leadmidtail");
    EXPECT_STREQ(qvxml::dom_attr(t.get(), "b"), "x y");
    EXPECT_EQ(qvxml::dom_attr(t.get(), "missing"), nullptr);

    qvxml_dom_node *a1 = qvxml::dom_child(t.get(), "A");
    ASSERT_NE(a1, nullptr);
    qvxml_dom_node *a2 = qvxml::dom_next(a1);
    ASSERT_NE(a2, nullptr);
    EXPECT_STREQ(qvxml::dom_text(a2), "2");
    EXPECT_STREQ(qvxml::dom_attr(a2, "k"), "v");
    EXPECT_EQ(qvxml::dom_next(a2), nullptr); // the A inside C is not a sibling
    EXPECT_STREQ(a1->sibling->name, "B");
    EXPECT_STREQ(a1->sibling->sibling->name, "C");
    EXPECT_EQ(a1->ordered, a1->sibling);
    EXPECT_EQ(a1->ordered->ordered, a2);
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(qvxml::dom_child(t.get(), "C"), "A")), "inner");
    EXPECT_EQ(a2->parent, t.get());
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "B")), "");
}

TEST(DomParser, ErrorTextsCarryTheLineAndKeepThePartialTree) {
    struct {
        const char *text;
        const char *error;
    } cases[] = {
        {"<Root>\n<A>x</A>\n<B>", "[error near line 3]: unclosed tag <B>"},
        {"<Root>\n<A>\n</B>\n</Root>", "[error near line 3]: unexpected closing tag </B>"},
        {"<Root>\n<A x=\"1\"\n", "[error near line 3]: missing >"},
        {"<Root><A x=\"1></A></Root>", "[error near line 1]: missing \""},
        {"<Root><A x='1></A></Root>", "[error near line 1]: missing '"},
        {"<Root></Root\n x>", "[error near line 2]: missing >"},
        {"<Root>\n<!-- never closed", "[error near line 2]: unclosed <!--"},
        {"<Root><!-- a -- b --></Root>", "[error near line 1]: unclosed <!--"},
        {"<Root>\n\n<![CDATA[x", "[error near line 3]: unclosed <![CDATA["},
        {"<!DOCTYPE Root [\n<!ENTITY a \"b\">\n", "[error near line 1]: unclosed <!DOCTYPE"},
        {"<Root><?pi never", "[error near line 1]: unclosed <?"},
        {"<Root>\n< A/></Root>", "[error near line 2]: unexpected <"},
        {"<Root/>\n<Second/>", "[error near line 2]: markup outside of root element"},
        {"just text", "[error near line 1]: root tag missing"},
        {"<?xml version=\"1.0\"?>\n<!-- only -->\n", "[error near line 3]: root tag missing"},
        {"<!DOCTYPE R [<!ATTLIST A b CDATA \"1\"", "[error near line 1]: unclosed <!ATTLIST"},
        {"<!DOCTYPE R [<!ATTLIST A b CDATA>]><R/>", "[error near line 1]: malformed <!ATTLIST"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(error_of(c.text), c.error) << c.text;
    }

    tree t = parse("<Root>\n<A>x</A>\n<B><C>y</C>");
    ASSERT_TRUE(t);
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "A")), "x");
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(qvxml::dom_child(t.get(), "B"), "C")), "y");

    tree empty = parse("");
    ASSERT_TRUE(empty);
    EXPECT_STREQ(empty->name, "");
    EXPECT_EQ(empty->child, nullptr);

    // A very long element name cannot overrun the 128-byte error text.
    std::string text = "<Root><" + std::string(500, 'N') + ">";
    std::string error = error_of(text);
    EXPECT_EQ(error.size(), 127u);
    EXPECT_EQ(error.rfind("[error near line 1]: unclosed tag <NNN", 0), 0u);
}

TEST(DomParser, DecodesReferencesLineEndsAndCdata) {
    tree t = parse("<!DOCTYPE R [\n<!ENTITY who \"W&#111;rld\">\n<!ENTITY % p \"x\">\n"
                   "<!ENTITY both \"&who;!\">\n]>\n"
                   "<R><E>&#x20AC;&#8364;&lt;&amp;lt;&who;&both;&unknown;&#0;&#65</E>"
                   "<L>a\r\nb\rc</L><D><![CDATA[&lt;<x>\r\n]]></D><P>%p;</P></R>");
    ASSERT_TRUE(t);
    EXPECT_STREQ(qvxml::dom_error(t.get()), "");
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "E")),
                 "\xE2\x82\xAC\xE2\x82\xAC<&lt;WorldWorld!&unknown;&#0;&#65");
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "L")), "a\nb\nc");
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "D")), "&lt;<x>\n");
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "P")), "%p;");
}

TEST(DomParser, AttributeDeclarationsGiveDefaultsAndWhitespaceRules) {
    tree t = parse("<!DOCTYPE R [\n<!ATTLIST V unit CDATA \"C\" kind (a|b) 'a'\n"
                   "  tok NMTOKENS #IMPLIED fixed CDATA #FIXED \"f\" req ID #REQUIRED>\n"
                   "<!ATTLIST V note NOTATION (n1|n2) #IMPLIED>]>\n"
                   "<R><V tok=\"  a \n  b  \" plain=\" x\ny \"/><W/></R>");
    ASSERT_TRUE(t);
    EXPECT_STREQ(qvxml::dom_error(t.get()), "");
    qvxml_dom_node *v = qvxml::dom_child(t.get(), "V");
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(qvxml::dom_attr(v, "tok"), "a b");
    EXPECT_STREQ(qvxml::dom_attr(v, "plain"), " x y ");
    EXPECT_STREQ(qvxml::dom_attr(v, "unit"), "C");
    EXPECT_STREQ(qvxml::dom_attr(v, "kind"), "a");
    EXPECT_STREQ(qvxml::dom_attr(v, "fixed"), "f");
    EXPECT_EQ(qvxml::dom_attr(v, "req"), nullptr);
    EXPECT_EQ(qvxml::dom_attr(qvxml::dom_child(t.get(), "W"), "unit"), nullptr);
}

TEST(DomParser, UnicodeTextWithByteOrderMark) {
    // "<R>x€𝄞</R>" in UTF-16, both byte orders.
    const char16_t text[] = u"<R>x\u20AC\U0001D11E</R>";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char16_t u : std::u16string(text)) {
        le += static_cast<char>(u & 0xFF);
        le += static_cast<char>(u >> 8);
        be += static_cast<char>(u >> 8);
        be += static_cast<char>(u & 0xFF);
    }
    for (const std::string &doc : {le, be}) {
        tree t = parse(doc);
        ASSERT_TRUE(t);
        EXPECT_STREQ(qvxml::dom_error(t.get()), "");
        EXPECT_STREQ(qvxml::dom_text(t.get()), "x\xE2\x82\xAC\xF0\x9D\x84\x9E");
    }
}

TEST(DomParser, CircularAndExplodingEntitiesAreRefused) {
    EXPECT_EQ(error_of("<!DOCTYPE R [<!ENTITY a \"x&a;\">]><R/>"),
              "[error near line 1]: circular entity declaration &a");
    EXPECT_EQ(error_of("<!DOCTYPE R [\n<!ENTITY a \"&b;\">\n<!ENTITY b \"&c;\">\n"
                       "<!ENTITY c \"&a;\">]><R/>"),
              "[error near line 4]: circular entity declaration &c");

    // Nested definitions that would expand to gigabytes end the parse at the
    // bound, with what was built before kept.
    std::string error = error_of(nested_entities(9) + "]><R>&l9;</R>");
    EXPECT_NE(error.find("entity expansion limit exceeded"), std::string::npos) << error;

    tree t = parse(nested_entities(5) + "]>\n<R><A>kept</A>\n<B>&l5;&l5;&l5;&l5;</B></R>");
    ASSERT_TRUE(t);
    EXPECT_EQ(std::string(qvxml::dom_error(t.get())),
              "[error near line 3]: entity expansion limit exceeded &l5");
    EXPECT_STREQ(qvxml::dom_text(qvxml::dom_child(t.get(), "A")), "kept");
}

TEST(MeterDialect, SensorsAndInputsAreAppendedAfterTheSaxEntries) {
    values_doc d = parse_values(read_data("meter_values.xml"));
    EXPECT_EQ(d.c.SenSet, 3);
    EXPECT_EQ(d.c.BinaryInSet, 2);
    expect_texts({
        {d.v->SenSet_Entry_Name[0], "Room.Temp"},
        {d.v->SenSet_Entry_Units[0], "C"},
        {d.v->SenSet_Entry_ID[0], "1"},
        {d.v->SenSet_Entry_Exp[0], "-1"},
        {d.v->SenSet_Entry_Value[0], "21.5"},
        {d.v->SenSet_Entry_Min[0], "15.0"},
        {d.v->SenSet_Entry_Max[0], "27.5"},
        {d.v->SenSet_Entry_Hyst[0], "0.5"},
        {d.v->SenSet_Entry_EmailSMS[0], "1"}, // cfg 12
        {d.v->SenSet_Entry_SNMPTrap[0], "1"},
        {d.v->SenSet_Entry_Calib[0], "0"},
        // No Exp: the previous one still applies; Unit when there is no Units.
        {d.v->SenSet_Entry_Name[1], "Room.Humidity"},
        {d.v->SenSet_Entry_Units[1], "%"},
        {d.v->SenSet_Entry_Max[1], "80.0"},
        {d.v->SenSet_Entry_Exp[1], ""},
        {d.v->SenSet_Entry_SNMPTrap[1], "0"}, // cfg 8
        {d.v->SenSet_Entry_Hyst[1], ""},
        {d.v->SenSet_Entry_Name[2], "Tank.Level"},
        {d.v->SenSet_Entry_Max[2], "180"},
        {d.v->BinaryInSet_Entry_Name[0], "Door"},
        {d.v->BinaryInSet_Entry_ID[0], "1"},
        {d.v->BinaryInSet_Entry_Alarm[0], "1"}, // cfg 6
        {d.v->BinaryInSet_Entry_EmailSMS[0], "0"},
        {d.v->BinaryInSet_Entry_Alarm[1], "0"}, // cfg 26
        {d.v->BinaryInSet_Entry_EmailSMS[1], "1"},
        {d.v->BinaryInSet_Entry_SNMPTrap[1], "1"},
        {d.v->BinaryInSet_Entry_Value[1], "1"},
    });

    std::string doc = "<Root><Agent><Model>55</Model></Agent>"
                      "<SenSet><Entry><Name>sax</Name></Entry></SenSet>"
                      "<BinaryInSet><Entry><Name>in</Name></Entry></BinaryInSet>"
                      "<Meter><Name>Room</Name><Val><Name>Temp</Name></Val></Meter>"
                      "<Meter><Val id=\"7\"/></Meter>"
                      "<Meter><Name>Tank</Name><Val id=\"x\"><Name>Temp</Name></Val><Val/></Meter>"
                      "<Input><cfg>0</cfg></Input><Input><cfg>2</cfg></Input></Root>";
    d = parse_values(doc);
    EXPECT_EQ(d.c.SenSet, 4);
    EXPECT_EQ(d.c.BinaryInSet, 3);
    expect_texts({
        {d.v->SenSet_Entry_Name[0], "sax"},
        {d.v->SenSet_Entry_Name[1], "Room.Temp"},
        {d.v->SenSet_Entry_Name[2], "Tank.Temp"},
        {d.v->SenSet_Entry_ID[2], "0"},
        {d.v->SenSet_Entry_Name[3], "Tank."},
        {d.v->BinaryInSet_Entry_Alarm[1], "2"},
        {d.v->BinaryInSet_Entry_Alarm[2], "0"},
    });
}

TEST(MeterDialect, OnlyForMeterModelsAndWithinCapacity) {
    std::string meters = "<Meter><Name>M</Name>";
    for (int i = 0; i < 50; ++i) {
        meters += "<Val id=\"" + std::to_string(i) +
                  "\"><Name>v</Name><Exp>-2</Exp>"
                  "<alarm_start>5</alarm_start></Val>";
    }
    meters += "</Meter>";
    std::string inputs;
    for (int i = 0; i < 70; ++i) {
        inputs += "<Input><Name>i</Name></Input>";
    }
    values_doc d = parse_values("<Root><Agent><Model>44</Model></Agent>" + meters + "</Root>");
    EXPECT_EQ(d.c.SenSet, 0);

    d = parse_values("<Root><Agent><Model>58</Model></Agent>" + meters + inputs + "</Root>");
    EXPECT_EQ(d.c.SenSet, 42);
    EXPECT_EQ(d.c.BinaryInSet, 64);
    EXPECT_STREQ(d.v->SenSet_Entry_ID[41], "41");
    EXPECT_STREQ(d.v->SenSet_Entry_Max[41], "0.05");
    EXPECT_STREQ(d.v->SenSet_Entry_Units[0], ""); // the array after the last slot is untouched

    // The pass reads a broken document as far as it goes.
    d = parse_values("<Root><Agent><Model>57</Model></Agent><Meter><Name>A</Name><Val>"
                     "<Name>b</Name></Val></Meter><Meter>");
    EXPECT_EQ(d.c.SenSet, 1);
    EXPECT_STREQ(d.v->SenSet_Entry_Name[0], "A.b");
}

TEST(FixedPoint, ScalesIntegersByPowersOfTen) {
    struct {
        long long v;
        int e;
        std::string text;
    } cases[] = {
        {215, -1, "21.5"},
        {5, -2, "0.05"},
        {-5, -1, "-0.5"},
        {0, -1, "0.0"},
        {12, 0, "12"},
        {5, 1, "50"},
        {-1234, -2, "-12.34"},
        {100, -3, "0.100"},
        {7, -40, "0." + std::string(29, '0')}, // cut at 31 characters
        {-9223372036854775807LL - 1, 0, "-9223372036854775808"},
    };
    char out[32];
    for (const auto &c : cases) {
        int length = qvxml::fixed_point_text(c.v, c.e, out, sizeof out);
        EXPECT_EQ(length, static_cast<int>(std::strlen(out)));
        EXPECT_EQ(out, c.text) << c.v << "e" << c.e;
    }
    char small[4];
    qvxml::fixed_point_text(123456, -1, small, sizeof small);
    EXPECT_STREQ(small, "123");
    EXPECT_EQ(qvxml::fixed_point_text(1, 60, out, sizeof out), 31);
}
