// Uploading a configuration file, with and without the sensor filter.
#include "session_fixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <memory>

using namespace mvxapi;
using namespace kelvo::test;

namespace {

class Upload : public ::testing::Test {
protected:
    void SetUp() override {
        peer.set_setup(kSetupXml); // the device has sensors 1 and 3
        s = std::make_unique<TIoXml>(nullptr);
        s->host = "127.0.0.1";
        s->port = peer.port();
        rec.Attach(*s);
        ASSERT_EQ(s->Open(), 0);
        ASSERT_EQ(s->GetSetup(), 0);
        ASSERT_TRUE(PumpUntil([&] { return rec.Has("setup"); }));
    }

    std::string Write(const std::string &name, const std::string &content) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Runs the filter over `text` as SendSetupFile does; returns the result
    // and leaves the filtered document in `text`.
    int Filter(std::string &text) {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        long length = long(text.size());
        const int rc = s->FilterSenSet(buffer.data(), length);
        if (rc == 0) {
            EXPECT_EQ(buffer[size_t(length)], '\0');
            text.assign(buffer.data(), size_t(length));
        }
        return rc;
    }

    HttpPeer peer;
    Recorder rec;
    std::unique_ptr<TIoXml> s;
    QTemporaryDir dir;
};

const char kThreeSensors[] = "<?xml version=\"1.0\"?>\n<Root>\n<Network><Name>n</Name></Network>\n"
                             "<SenSet>\n"
                             "<Entry><ID>1</ID><Name>Room</Name></Entry>\n"
                             "<Entry><ID>2</ID><Name>Gone</Name></Entry>\n"
                             "<Entry><ID>3</ID><Name>Hall</Name></Entry>\n"
                             "</SenSet>\n"
                             "</Root>";

} // namespace

TEST_F(Upload, FilterRemovesUnknownSensorsAndCutsAtRootEnd) {
    std::string text = std::string(kThreeSensors) + "\r\ntrailing junk";
    ASSERT_EQ(Filter(text), 0);
    std::string expected = kThreeSensors;
    expected.erase(expected.find("<Entry><ID>2</ID>"),
                   strlen("<Entry><ID>2</ID><Name>Gone</Name></Entry>"));
    EXPECT_EQ(text, expected);

    // The prefixed root end is accepted the same way; consecutive unknown
    // entries all go, and an ID that is not a number reads as 0.
    std::string prefixed = "<set:Root><SenSet><Entry><ID>7</ID></Entry><Entry><ID>x</ID></Entry>"
                           "<Entry><ID>3</ID></Entry></SenSet></set:Root>\n";
    ASSERT_EQ(Filter(prefixed), 0);
    EXPECT_EQ(prefixed, "<set:Root><SenSet><Entry><ID>3</ID></Entry></SenSet></set:Root>");
}

TEST_F(Upload, FilterLeavesDocumentsWithoutSensorsAndRefusesBrokenOnes) {
    // No SenSet at all: sent whole, including what follows the root.
    std::string plain = "<Root><Network/></Root>\nafter";
    ASSERT_EQ(Filter(plain), 0);
    EXPECT_EQ(plain, "<Root><Network/></Root>\nafter");
    // A SenSet without entries: unchanged up to the root end.
    std::string empty = "<Root><SenSet></SenSet></Root>\n";
    ASSERT_EQ(Filter(empty), 0);
    EXPECT_EQ(empty, "<Root><SenSet></SenSet></Root>");

    for (std::string bad : {"<Root></SenSet></Root>", "<Root><SenSet><Entry><ID>1</ID></Entry>",
                            "<Root><SenSet><Entry><ID>1</ID></Entry></Root></SenSet>",
                            "<Root><SenSet><Entry><ID>2</ID></Entry></SenSet>"})
        EXPECT_EQ(Filter(bad), -8) << bad;
}

TEST_F(Upload, SendSetupFileWithoutFilterKeepsEveryEntry) {
    const std::string path = Write("up.xml", kThreeSensors);
    ASSERT_EQ(s->SendSetupFile(path.c_str(), false), 0);
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("sent") || rec.Has("error"); }));
    EXPECT_NE(peer.requests().back().body.find("<ID>2</ID>"), std::string::npos);
}

TEST_F(Upload, SavedFileLargerThanTheRequestBufferIsUploaded) {
    // As an editor may save it: CR LF line ends and many blank lines.
    std::string saved;
    for (const char *c = kThreeSensors; *c; ++c) {
        for (int i = 0; *c == '\n' && i < 1500; ++i)
            saved += "\r\n";
        if (*c != '\n')
            saved += *c;
    }
    ASSERT_GT(saved.size(), size_t(QVXML_BUFFER_SIZE));
    ASSERT_EQ(s->SendSetupFile(Write("saved.xml", saved).c_str(), true), 0);
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("sent") || rec.Has("error"); }));
    ASSERT_TRUE(rec.Has("sent"));
    const std::string body = peer.requests().back().body;
    EXPECT_NE(body.find("<ID>3</ID>"), std::string::npos);
    EXPECT_EQ(body.find("<ID>2</ID>"), std::string::npos);
}

TEST_F(Upload, FileProblemsLeaveTheSessionReadyAndSendNothing) {
    EXPECT_EQ(s->SendSetupFile(dir.filePath("missing.xml").toStdString().c_str(), true), -5);
    EXPECT_EQ(s->SendSetupFile(Write("empty.xml", "").c_str(), true), -7);
    EXPECT_EQ(s->SendSetupFile(
                  Write("noroot.xml", "<SenSet><Entry><ID>1</ID></Entry></SenSet>").c_str(), true),
              -8);
    // Not XML: refused whether the sensor filter runs or not.
    for (bool filter : {true, false})
        EXPECT_EQ(s->SendSetupFile(Write("hello.txt", "hello world").c_str(), filter), -8);
    // Far larger than any configuration: refused before it is read.
    const std::string huge = Write("huge.xml", "");
    ASSERT_TRUE(QFile::resize(QString::fromStdString(huge), QVXML_UPLOAD_TEXT_MAX + 1));
    EXPECT_EQ(s->SendSetupFile(huge.c_str(), true), -1);
    TSdkError error;
    s->GetSdkError(error, false);
    EXPECT_EQ(error.text, "File larger than 16 MiB");
    EXPECT_EQ(s->GetState(), xsReady);
    PumpFor(100);
    EXPECT_EQ(peer.request_count(), 1u); // only the setup download
    EXPECT_FALSE(rec.Has("error"));      // SendSetupFile raises no events itself
}

TEST_F(Upload, FilterNeedsTheDevicesSetup) {
    // After a failed download the cached setup is not available: -1.
    peer.require_auth("admin", "secret");
    ASSERT_EQ(s->GetSetup(), 0);
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("error"); }));
    const std::string path = Write("up.xml", kThreeSensors);
    EXPECT_EQ(s->SendSetupFile(path.c_str(), true), -1);
    EXPECT_EQ(s->GetState(), xsReady);
    TSdkError error;
    s->GetSdkError(error, false);
    EXPECT_EQ(error.code, 48);
    EXPECT_EQ(error.text, "HTTP: Unauthorized");
}
