// Single-item setters, plain and in indexed mode with the trial connection.
#include "session_fixture.h"

#include <session_internal.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace mvxapi;
using namespace kelvo::test;

namespace {

class Setters : public ::testing::Test {
protected:
    void SetUp() override {
        peer.set_setup(kSetupXml);
        peer.set_values(kValuesXml); // sensors 5 and 9
        s = std::make_unique<TIoXml>(nullptr);
        s->host = "127.0.0.1";
        s->port = peer.port();
        rec.Attach(*s);
        ASSERT_EQ(s->Open(), 0);
    }

    // Waits for the setter's completion; the body of the upload it made.
    std::string Completed(int expected_state) {
        const size_t before = rec.Count("sent") + rec.Count("error");
        EXPECT_TRUE(PumpUntil([&] { return rec.Count("sent") + rec.Count("error") > before; }));
        EXPECT_TRUE(rec.events.back() == "sent") << rec.events.back();
        if (!rec.setups.empty()) {
            EXPECT_EQ(rec.setups.back().state, expected_state);
        }
        EXPECT_EQ(s->GetState(), xsReady);
        const auto reqs = peer.requests();
        return reqs.empty() ? std::string() : reqs.back().body;
    }

    HttpPeer peer;
    Recorder rec;
    std::unique_ptr<TIoXml> s;
};

// The part of a posted document from "<Entry>" to "</Entry>", line feeds
// that the library's upload filter adds removed.
std::string EntryOf(const std::string &body) {
    const auto a = body.find("<Entry>");
    const auto b = body.find("</Entry>");
    if (a == std::string::npos || b == std::string::npos)
        return body;
    std::string entry = body.substr(a, b + 8 - a);
    std::erase(entry, '\n');
    return entry;
}

} // namespace

TEST_F(Setters, DocumentsWithoutIndex) {
    // The answer waits, so the request is still running when its state is read.
    peer.set_delay_ms(300);
    ASSERT_EQ(s->SetBinaryOutput(151, 1), 0);
    EXPECT_EQ(s->GetState(), xsBinaryOut);
    peer.set_delay_ms(0);
    std::string body = Completed(xsBinaryOut);
    EXPECT_NE(body.find("<BinaryOutSet>"), std::string::npos);
    EXPECT_EQ(EntryOf(body), "<Entry><ID>151</ID><Value>1</Value></Entry>");
    EXPECT_EQ(rec.Count("request"), 1u);

    ASSERT_EQ(s->SetSensorLimits(3, -10, 45.5), 0);
    EXPECT_EQ(EntryOf(Completed(xsSensorLimits)),
              "<Entry><ID>3</ID><Min>-10.0</Min><Max>45.5</Max></Entry>");

    ASSERT_EQ(s->SetSensorCalib(3, 0.25), 0);
    EXPECT_EQ(EntryOf(Completed(xsCalib)), "<Entry><ID>3</ID><Calib>0.2</Calib></Entry>");

    // The ID decides the section of a name.
    ASSERT_EQ(s->SetEntryName(64, "In"), 0);
    body = Completed(xsName);
    EXPECT_NE(body.find("<BinaryInSet><Entry><ID>64</ID><Name>In</Name>"), std::string::npos);
    ASSERT_EQ(s->SetEntryName(65, "Probe"), 0);
    body = Completed(xsName);
    EXPECT_NE(body.find("<SenSet><Entry><ID>65</ID><Name>Probe</Name>"), std::string::npos);
    ASSERT_EQ(s->SetEntryName(151, "Out"), 0);
    body = Completed(xsName);
    EXPECT_NE(body.find("<BinaryOutSet><Entry><ID>151</ID><Name>Out</Name>"), std::string::npos);
    EXPECT_EQ(body.find("<Idx>"), std::string::npos);
    EXPECT_FALSE(rec.offGuiThread);
}

TEST_F(Setters, NumbersUseAPointInEveryLocale) {
    DecimalCommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no decimal-comma locale installed";
    ASSERT_EQ(s->SetSensorLimits(3, -10, 45.5), 0);
    EXPECT_EQ(EntryOf(Completed(xsSensorLimits)),
              "<Entry><ID>3</ID><Min>-10.0</Min><Max>45.5</Max></Entry>");
    ASSERT_EQ(s->SetSensorCalib(3, -0.75), 0);
    EXPECT_EQ(EntryOf(Completed(xsCalib)), "<Entry><ID>3</ID><Calib>-0.8</Calib></Entry>");
}

TEST_F(Setters, IndexedBinaryEntriesUseTheirNumber) {
    s->indexed = 1;
    ASSERT_EQ(s->SetBinaryOutput(151, 1), 0);
    EXPECT_EQ(EntryOf(Completed(xsBinaryOut)),
              "<Entry><Idx>1</Idx><ID>151</ID><Value>1</Value></Entry>");
    ASSERT_EQ(s->SetEntryName(152, "Out2"), 0);
    EXPECT_EQ(EntryOf(Completed(xsName)),
              "<Entry><Idx>2</Idx><ID>152</ID><Name>Out2</Name></Entry>");
    ASSERT_EQ(s->SetEntryName(7, "In7"), 0);
    EXPECT_EQ(EntryOf(Completed(xsName)), "<Entry><Idx>7</Idx><ID>7</ID><Name>In7</Name></Entry>");
    // No values.xml was needed for these.
    for (const auto &r : peer.requests())
        EXPECT_NE(r.path, "/values.xml");
}

TEST_F(Setters, IndexedUnknownSensorIsReportedOnTheGuiThread) {
    s->indexed = 1;
    ASSERT_EQ(s->SetEntryName(77, "Nowhere"), 0);
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("error") || rec.Has("sent"); }));
    ASSERT_EQ(rec.errors.size(), 1u);
    const auto &e = rec.errors[0];
    EXPECT_EQ(e.text, "Invalid sensor ID");
    EXPECT_EQ(e.code, 16);
    EXPECT_EQ(e.sys_errno, 0);
    EXPECT_EQ(e.sys_text, "");
    EXPECT_EQ(e.operation, xsSensorLimits); // whichever sensor setter asked
    EXPECT_FALSE(rec.offGuiThread);
    EXPECT_EQ(s->GetState(), xsReady);
    PumpFor(100);
    for (const auto &r : peer.requests())
        EXPECT_NE(r.method, "POST");
    // The session is free for the next request.
    EXPECT_EQ(s->GetSetup(), 0);
}

TEST_F(Setters, DocumentsThatWouldNotFitAreRefused) {
    const std::string longName(IOXML_SETTER_DOCUMENT_MAX, 'n');
    EXPECT_EQ(s->SetEntryName(65, longName.c_str()), -1);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].operation, xsName);
    EXPECT_EQ(rec.errors[0].code, 81);
    EXPECT_EQ(rec.errors[0].text, "Length > LENGTH_MAX");
    TSdkError error;
    s->GetSdkError(error, false);
    EXPECT_EQ(error.code, 81);
    EXPECT_EQ(s->GetState(), xsReady);

    // Huge numbers print hundreds of digits.
    EXPECT_EQ(s->SetSensorLimits(3, -1e300, 1e300), -1);
    EXPECT_EQ(rec.errors.back().code, 81);
    // Also in indexed mode, before any trial connection is made.
    s->indexed = 1;
    EXPECT_EQ(s->SetEntryName(65, longName.c_str()), -1);
    EXPECT_EQ(rec.errors.back().code, 81);
    PumpFor(100);
    EXPECT_EQ(peer.request_count(), 0u);

    // A fitting name afterwards goes through.
    s->indexed = 0;
    ASSERT_EQ(s->SetEntryName(65, "ok"), 0);
    Completed(xsName);
}

TEST(SetterDocuments, NamesAreEscaped) {
    char out[IOXML_SETTER_DOCUMENT_MAX];
    const int n = detail::FormatSetterDocument(xsName, 65, 0, 0, 0, 0, "R&D <\"lab\"> 'x'", "", out,
                                               sizeof out);
    ASSERT_GT(n, 0);
    EXPECT_STREQ(out, "<Root><SenSet><Entry><ID>65</ID><Name>R&amp;D &lt;&quot;lab&quot;&gt; "
                      "&apos;x&apos;</Name></Entry></SenSet></Root>");
    EXPECT_EQ(size_t(n), strlen(out));
    // Exactly full is refused (no room for the NUL), one more byte fits.
    const int len =
        detail::FormatSetterDocument(xsBinaryOut, 151, 1, 0, 0, 0, "", "", out, sizeof out);
    EXPECT_EQ(detail::FormatSetterDocument(xsBinaryOut, 151, 1, 0, 0, 0, "", "", out, size_t(len)),
              -1);
    EXPECT_EQ(
        detail::FormatSetterDocument(xsBinaryOut, 151, 1, 0, 0, 0, "", "", out, size_t(len) + 1),
        len);
}

TEST_F(Setters, DestroyingTheSessionDuringTheTrialConnection) {
    Recorder keepRec;
    TIoXml keep(nullptr); // keeps the receiver alive
    keepRec.Attach(keep);
    peer.set_delay_ms(800);
    s->indexed = 1;
    ASSERT_EQ(s->SetSensorLimits(9, 1, 2), 0);
    ASSERT_TRUE(PumpUntil([&] { return peer.request_count() == 1; }));
    s.reset();
    PumpFor(1500);
    EXPECT_FALSE(rec.Has("sent"));
    EXPECT_FALSE(rec.Has("error"));
    EXPECT_EQ(peer.request_count(), 1u); // nothing was uploaded
}
