// The setup writer and the upload filter.
#include "model/sax_parse.h"
#include "model_test_support.h"
#include "xml_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace model_test;

namespace {

constexpr int handle = 61;
const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

std::string write(const qvxml_setup &s, const qvxml_setup_counts &c, int capacity = 200000) {
    std::vector<char> out(capacity);
    int n = qvxml::write_setup_xml(&s, &c, out.data(), capacity);
    EXPECT_GE(n, 0);
    return n < 0 ? std::string() : std::string(out.data(), n);
}

struct filtered {
    int result;
    std::string text;
    int code;
};

filtered filter(const std::string &in, int capacity = 0) {
    if (capacity == 0) {
        capacity = static_cast<int>(in.size()) + 1024;
    }
    std::vector<char> buffer(capacity + 64, '#');
    std::memset(buffer.data(), 0, capacity);
    std::memcpy(buffer.data(), in.data(), std::min<size_t>(in.size(), capacity));
    qvxml::record_error(handle, qvxml::error_code::none);
    int result = qvxml::filter_upload_xml(handle, buffer.data(), capacity);
    for (size_t i = capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], '#') << "written past the capacity";
    }
    qvxml_error_record record{};
    qvxml_error(handle, &record);
    return {result, std::string(buffer.data(), strnlen(buffer.data(), capacity)), record.code};
}

// The text without the white space between tags.
std::string tags_only(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '>') {
            size_t j = i + 1;
            while (j < text.size() && (text[j] == ' ' || text[j] == '\n')) {
                ++j;
            }
            if (j < text.size() && text[j] == '<') {
                out += '>';
                i = j - 1;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

int well_formed(const std::string &text) {
    auto nothing_start = [](void *, const xmlChar *, const xmlChar **) {};
    auto nothing_end = [](void *, const xmlChar *) {};
    auto nothing_text = [](void *, const xmlChar *, int) {};
    return qvxml::sax_run(text.data(), text.size(), {nothing_start, nothing_end, nothing_text},
                          nullptr);
}

} // namespace

TEST(SetupWriter, RoundTripsTheSampleDocument) {
    setup_doc d = parse_setup(read_data("setup.xml"));
    std::string written = write(*d.s, d.c);
    EXPECT_EQ(written.rfind(declaration + "\n<Root>\n<Agent>\n<Version>3.1.12</Version>", 0), 0u);
    EXPECT_EQ(well_formed(written), 0);
    setup_doc again = parse_setup(written);
    EXPECT_EQ(std::memcmp(&again.c, &d.c, sizeof d.c), 0);
    EXPECT_EQ(std::memcmp(again.s.get(), d.s.get(), sizeof(qvxml_setup)), 0);
}

TEST(SetupWriter, WritesEveryFieldAndGroupInOrderEvenWhenEmpty) {
    auto s = std::make_unique<qvxml_setup>();
    std::memset(s.get(), 0, sizeof *s);
    qvxml_setup_counts c{};
    std::string w = write(*s, c);
    EXPECT_EQ(w.rfind(declaration + "\n<Root>\n<Agent>\n<Version></Version>\n<XmlVer></XmlVer>", 0),
              0u);
    EXPECT_NE(w.find("</Agent>\n<Status>\n<NtpState></NtpState>\n</Status>"), std::string::npos);
    EXPECT_NE(w.find("\n<BinaryInSet>\n\n<AlarmAction></AlarmAction>\n</BinaryInSet>"),
              std::string::npos);
    EXPECT_NE(w.find("\n<SnmpTraps>\n</SnmpTraps>"), std::string::npos);
    EXPECT_NE(w.find("\n<Report>\n<E></E>\n<To></To>\n<Period></Period>\n<Erase></Erase>\n"
                     "</Report>\n</DataLogger>"),
              std::string::npos);
    EXPECT_EQ(w.substr(w.size() - 30), "\n</User>\n<Info></Info>\n</Root>");
    EXPECT_EQ(w.find("<Entry>"), std::string::npos);

    c.GroupSet = 1;
    std::strcpy(s->GroupSet_Entry_Idx[0], "1");
    w = write(*s, c);
    EXPECT_NE(w.find("\n<GroupSet>\n<Entry>\n<Name></Name>\n<Out></Out>\n<OutState></OutState>\n"
                     "<Alarm>\n<Subj></Subj>\n<Body></Body>\n</Alarm>\n<Dest>\n<Snmp1></Snmp1>"),
              std::string::npos);
    EXPECT_NE(w.find("<Delay></Delay>\n<E></E>\n</Dest>\n<Idx>1</Idx>\n</Entry>\n</GroupSet>"),
              std::string::npos);
}

TEST(SetupWriter, EscapesTextAndRefusesWhatDoesNotFit) {
    auto s = std::make_unique<qvxml_setup>();
    std::memset(s.get(), 0, sizeof *s);
    std::strcpy(s->Email_Message, "a & b <c> &amp;");
    qvxml_setup_counts c{};
    std::string w = write(*s, c);
    EXPECT_NE(w.find("<Message>a &amp; b &lt;c&gt; &amp;amp;</Message>"), std::string::npos);
    EXPECT_STREQ(parse_setup(w).s->Email_Message, "a & b <c> &amp;");

    // Exactly fitting (text + NUL) works, one byte less is refused without
    // writing past the buffer.
    int length = static_cast<int>(w.size());
    std::vector<char> out(length + 16, '#');
    EXPECT_EQ(qvxml::write_setup_xml(s.get(), &c, out.data(), length + 1), length);
    std::fill(out.begin(), out.end(), '#');
    EXPECT_EQ(qvxml::write_setup_xml(s.get(), &c, out.data(), length), -1);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[length], '#');

    // Every list full with every field filled is far larger than one request.
    std::memset(s.get(), 'x', sizeof *s);
    for (int i = 0; i < qvxml::setup_table().count; ++i) {
        const qvxml::field_row &r = qvxml::setup_table().rows[i];
        for (int k = 0; k < r.capacity; ++k) {
            reinterpret_cast<char *>(s.get())[r.offset + (k + 1) * r.size - 1] = '\0';
        }
    }
    qvxml_setup_counts full{64, 64, 42, 42, 42, 4, 4, 2, 2};
    std::vector<char> request(20000 + 16, '#');
    EXPECT_EQ(qvxml::write_setup_xml(s.get(), &full, request.data(), 20000), -1);
    EXPECT_EQ(request[20000], '#');
    // Counts beyond the capacity (a caller's garbage) are clamped.
    qvxml_setup_counts wild{1000, -5, 42, 42, 42, 4, 4, 2, 2};
    std::string big = write(*s, wild, 400000);
    setup_doc back = parse_setup(big);
    EXPECT_EQ(back.c.BinaryInSet, 64);
    EXPECT_EQ(back.c.BinaryOutSet, 0);
}

TEST(UploadFilter, RemovesProtectedElementsAndMovesIdxToTheFront) {
    filtered f = filter(read_data("setup.xml"));
    ASSERT_EQ(f.result, 0);
    const std::string &t = f.text;
    EXPECT_EQ(t.rfind(declaration + "\n<Root>\n", 0), 0u);
    EXPECT_EQ(t.find("<Agent>"), std::string::npos);
    EXPECT_EQ(t.find("\n\n"), std::string::npos);
    EXPECT_EQ(well_formed(t), 0);
    // Network keeps its name, ports and name servers but not the address.
    const std::string tags = tags_only(t);
    EXPECT_NE(tags.find("<Network><Name>monitor-3</Name><TelnetPort>99</TelnetPort>"
                        "<SNMPPort>161</SNMPPort><DNSPrimary>192.168.1.1</DNSPrimary>"
                        "<DNSSecondary>0.0.0.0</DNSSecondary></Network>"),
              std::string::npos);
    for (const char *gone : {"<IPAddr>192", "<Submask>", "<Gateway>", "<HTTPport>", "<DHCP>",
                             "<TimeShift>", "<Date>", "<SysName>", "<Units>C</Units>\n  <Min>"}) {
        EXPECT_EQ(t.find(gone), std::string::npos) << gone;
    }
    // Sensor entries list Idx last; it now leads each entry.
    EXPECT_NE(t.find("<Entry>\n<Idx>0</Idx>\n    <Name>Rack 1 temp</Name>"), std::string::npos);
    EXPECT_EQ(t.find("</Dest>\n    <Idx>"), std::string::npos);
    // Users keep only their Idx.
    EXPECT_NE(tags.find("<User><Entry><Idx>1</Idx></Entry><Entry><Idx>2</Idx></Entry></User>"),
              std::string::npos);
    // Text read through a reference goes out as one.
    EXPECT_NE(t.find("<Message>Alarm on &lt;%n&gt;</Message>"), std::string::npos);

    setup_doc parsed = parse_setup(t);
    EXPECT_STREQ(parsed.s->Network_IPAddr, "");
    EXPECT_STREQ(parsed.s->SenSet_Entry_Idx[10], "10");
    EXPECT_STREQ(parsed.s->SenSet_Entry_Units[0], "");
    EXPECT_EQ(parsed.c.SenSet, 11);
}

TEST(UploadFilter, PrefixedRootIsFilteredLikeRoot) {
    filtered f = filter("<set:Root xmlns:set=\"u\">\n<Network>\n<Name>n</Name>\n"
                        "<IPAddr>10.0.0.9</IPAddr>\n</Network>\n</set:Root>");
    ASSERT_EQ(f.result, 0);
    EXPECT_EQ(f.text, declaration + "\n<Root>\n<Network>\n<Name>n</Name>\n</Network>\n</Root>");
}

TEST(UploadFilter, IdxTextsAndOddShapes) {
    // Idx text in pieces stays one Idx; an empty Idx stays; an Idx outside an
    // entry goes to the front of its holder too.
    filtered f = filter("<Root><SnmpTraps><Entry><E>1</E><Idx>1&amp;2</Idx></Entry>"
                        "<Entry><Idx></Idx><E>0</E></Entry></SnmpTraps>"
                        "<Counters><E>1</E><Idx>4</Idx></Counters></Root>");
    ASSERT_EQ(f.result, 0);
    EXPECT_EQ(f.text, declaration + "\n<Root><SnmpTraps><Entry>\n<Idx>1&amp;2</Idx><E>1</E>"
                                    "</Entry><Entry>\n<Idx></Idx><E>0</E></Entry></SnmpTraps>"
                                    "<Counters>\n<Idx>4</Idx><E>1</E></Counters></Root>");

    // An Idx inside a removed element does not switch the output back on.
    f = filter("<Root><Agent><Idx>1</Idx><Version>secret</Version></Agent><Info>1</Info></Root>");
    ASSERT_EQ(f.result, 0);
    EXPECT_EQ(f.text, declaration + "\n<Root><Info>1</Info></Root>");

    // Comments, instructions and attributes are dropped.
    f = filter("<Root a=\"1\"><!-- x --><?pi y?><Info>1</Info><Global><Units>C</Units>"
               "</Global></Root>");
    ASSERT_EQ(f.result, 0);
    EXPECT_EQ(f.text,
              declaration + "\n<Root><Info>1</Info><Global><Units>C</Units></Global></Root>");

    // A document that is not well-formed is refused whole: what the parser
    // read of it is not the configuration the file holds.
    for (const char *broken : {"<Root><Info>1</Info><Global><Units>C</Units>", "hello world",
                               "<Root><Info>1</Root>", "<Root/><Root/>"}) {
        f = filter(broken);
        EXPECT_EQ(f.result, -1) << broken;
        EXPECT_EQ(f.code, 45) << broken;
        EXPECT_EQ(f.text, broken);
    }
}

TEST(UploadFilter, RefusesWhatDoesNotFitAndLeavesTheTextAlone) {
    const std::string in = "<Root><Name>x</Name></Root>";
    filtered f = filter(in, static_cast<int>(in.size()) + 1);
    EXPECT_EQ(f.result, -1);
    EXPECT_EQ(f.code, 81);
    EXPECT_EQ(f.text, in);

    // Escaping makes the output longer than the request buffer.
    std::string cdata = "<Root><Info><![CDATA[" + std::string(6000, '<') + "]]></Info></Root>";
    f = filter(cdata, 20000);
    EXPECT_EQ(f.result, -1);
    EXPECT_EQ(f.code, 81);

    std::string many = "<Root>";
    for (int i = 0; i < 1001; ++i) {
        many += "<Idx>1</Idx>";
    }
    f = filter(many + "</Root>");
    EXPECT_EQ(f.result, -1);
    EXPECT_EQ(f.code, 81);

    f = filter("", 100);
    EXPECT_EQ(f.result, -1);
    EXPECT_EQ(f.code, 45);
}

TEST(UploadFilter, WriterOutputFitsTheFilterAtItsOwnLength) {
    setup_doc d = parse_setup(read_data("setup.xml"));
    std::vector<char> buffer(20000, 0);
    int n = qvxml::write_setup_xml(d.s.get(), &d.c, buffer.data(), 20000);
    ASSERT_GT(n, 0);
    ASSERT_EQ(qvxml::filter_upload_xml(handle, buffer.data(), n), 0);
    setup_doc back = parse_setup(buffer.data());
    EXPECT_EQ(back.c.GroupSet, 2);
    EXPECT_STREQ(back.s->GroupSet_Entry_Dest_Mail1[1], "1");
    EXPECT_STREQ(back.s->Agent_Version, "");
}
