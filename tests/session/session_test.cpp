// Session lifecycle, events and the receiver, against a real HTTP peer on
// loopback and the real XML client library.
#include "session_fixture.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>

#include <atomic>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>

using namespace mvxapi;
using namespace kelvo::test;

namespace {

std::unique_ptr<TIoXml> SessionFor(const HttpPeer &peer, Recorder &rec) {
    auto s = std::make_unique<TIoXml>(nullptr);
    s->host = "127.0.0.1";
    s->port = peer.port();
    rec.Attach(*s);
    return s;
}

// Opens the session and starts a setup download; true when both were taken.
bool OpenAndGetSetup(TIoXml &s) {
    return s.Open() == 0 && s.GetSetup() == 0;
}

// Waits for the download's end without running the event loop, so that the
// reply is posted but stays undelivered.
void WaitReadyUnpumped(TIoXml &s) {
    for (int i = 0; i < 400 && s.GetState() != xsReady; ++i)
        QThread::msleep(10);
}

} // namespace

TEST(Session, NewSessionAndStateChecks) {
    Recorder rec;
    TIoXml s(nullptr);
    rec.Attach(s);
    EXPECT_EQ(s.host, "192.168.1.99");
    EXPECT_EQ(s.port, 80);
    EXPECT_TRUE(s.user.empty());
    EXPECT_TRUE(s.password.empty());
    EXPECT_EQ(s.GetState(), xsClosed);
    EXPECT_EQ(s.GetHandle(), -1);

    // Nothing but Open is accepted while closed, and nothing is raised.
    EXPECT_EQ(s.GetSetup(), -2);
    EXPECT_EQ(s.GetValues(), -2);
    EXPECT_EQ(s.SendSetupXml("<Root/>"), -2);
    EXPECT_EQ(s.LoadValues("<Root/>"), -2);
    EXPECT_EQ(s.Close(), -2);
    EXPECT_EQ(s.GetSetupToFile("/nonexistent/never"), -2);
    EXPECT_EQ(s.SendSetupFile("/nonexistent/never", true), -2);
    EXPECT_EQ(s.SetBinaryOutput(151, 1), -2);
    EXPECT_EQ(s.SetSensorLimits(1, 0, 1), -2);
    EXPECT_EQ(s.SetEntryName(1, "x"), -2);
    EXPECT_EQ(s.SetSensorCalib(1, 0.5), -2);
    PumpFor(50);
    EXPECT_TRUE(rec.events.empty());
    EXPECT_EQ(s.GetState(), xsClosed);
}

TEST(Session, OpenGetSetupAndDownloadToFileByteForByte) {
    HttpPeer peer;
    // A document with CR LF line ends and non-ASCII bytes must arrive as sent.
    const std::string doc = std::string(kSetupXml) + "<!-- r\xc3\xa9sum\xc3\xa9 -->\r\n";
    peer.set_setup(doc);
    Recorder rec;
    auto s = SessionFor(peer, rec);

    ASSERT_EQ(s->Open(), 0);
    EXPECT_EQ(s->GetState(), xsReady);
    EXPECT_GE(s->GetHandle(), 1);
    EXPECT_EQ(s->Open(), -2); // open twice
    // The answer waits, so that the second request meets the first one still
    // running however the threads are scheduled.
    peer.set_delay_ms(1000);
    ASSERT_EQ(s->GetSetup(), 0);
    EXPECT_EQ(s->GetSetup(), -2); // one request at a time
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("setup") || rec.Has("error"); }));
    peer.set_delay_ms(0);
    ASSERT_TRUE(rec.Has("setup"));
    EXPECT_FALSE(rec.offGuiThread);

    const std::vector<std::string> expected{"open", "request", "connect", "setup"};
    EXPECT_EQ(rec.events, expected);
    const auto &args = rec.setups[0];
    EXPECT_EQ(args.sender, s.get());
    EXPECT_EQ(args.state, xsSetup);
    EXPECT_EQ(rec.stateInHandler, xsReady);
    ASSERT_NE(args.setup, nullptr);
    ASSERT_NE(args.setup_counts, nullptr);
    EXPECT_STREQ(args.setup->Agent_DeviceName, "Lab box");
    EXPECT_EQ(args.setup_counts->SenSet, 2);
    EXPECT_STREQ(args.module_host, "127.0.0.1");
    EXPECT_EQ(args.module_port, peer.port());

    QTemporaryDir dir;
    const std::string path = dir.filePath("device.xml").toStdString();
    EXPECT_EQ(s->GetSetupToFile(path.c_str()), 0);
    EXPECT_EQ(s->GetState(), xsReady);
    EXPECT_EQ(read_file(path), doc);
    // The configuration holds the device's passwords.
    EXPECT_EQ(QFile::permissions(QString::fromStdString(path)),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                  QFileDevice::WriteUser);

    EXPECT_EQ(s->Close(), 0);
    EXPECT_EQ(rec.events.back(), "close");
    EXPECT_EQ(s->GetState(), xsClosed);
    EXPECT_EQ(s->GetHandle(), -1);
}

TEST(Session, FailedDownloadKeepsThePreviousFileAndLeavesNoPartOne) {
    HttpPeer peer;
    peer.set_setup(std::string(kSetupXml) + std::string(4000, ' '));
    Recorder rec;
    auto s = SessionFor(peer, rec);
    ASSERT_TRUE(OpenAndGetSetup(*s));
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("setup"); }));

    QTemporaryDir dir;
    const std::string path = dir.filePath("device.xml").toStdString();
    std::ofstream(path, std::ios::binary) << "previous";
    // A file size limit fails the write as a full disk does.
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int rc = s->GetSetupToFile(path.c_str());
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(rc, -1);
    TSdkError error;
    s->GetSdkError(error, false);
    EXPECT_EQ(error.code, 7); // "File write failure", and why, for the window to show
    EXPECT_NE(error.text.find("File too large"), std::string::npos) << error.text;
    EXPECT_EQ(read_file(path), "previous");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"device.xml"});
}

namespace {

// Holds the worker in the after-parse hook, once armed, until released: the
// request cannot end while the test looks at the state it is in.
struct ParseGate {
    void Post(TIoXmlParseEventArgs *) {
        if (armed)
            released.wait();
    }
    std::atomic<bool> armed{false};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

} // namespace

TEST(Session, GetValuesDeliversParsedDocument) {
    HttpPeer peer;
    peer.set_values(kValuesXml);
    Recorder rec;
    auto s = SessionFor(peer, rec);
    ParseGate gate;
    s->postParse = 1;
    s->OnPostParse = new EventHandler<ParseGate, TIoXmlParseEventArgs>(&gate, &ParseGate::Post);
    ASSERT_EQ(s->Open(), 0);
    ASSERT_EQ(s->GetValues(), 0);
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("values") || rec.Has("error"); }));
    ASSERT_TRUE(rec.Has("values"));
    ASSERT_NE(rec.values[0].values, nullptr);
    EXPECT_EQ(rec.values[0].values_counts->SenSet, 2);
    EXPECT_EQ(SensorIndex(rec.values[0].values, rec.values[0].values_counts, 9), 2);
    EXPECT_EQ(s->GetState(), xsReady);
    EXPECT_FALSE(rec.offGuiThread);

    // A document the caller already has arrives the same way.
    gate.armed = true;
    ASSERT_EQ(s->LoadValues("<?xml version=\"1.0\"?><Root><SenSet><Entry><ID>4</ID></Entry>"
                            "</SenSet></Root>"),
              0);
    EXPECT_EQ(s->GetState(), xsValues);
    gate.release.set_value();
    ASSERT_TRUE(PumpUntil([&] { return rec.Count("values") == 2; }));
    EXPECT_EQ(rec.values[1].values_counts->SenSet, 1);
    EXPECT_EQ(s->GetState(), xsReady);
}

namespace {

struct ParseHooks {
    void Custom(TIoXmlParseEventArgs *a) {
        onWorker = QThread::currentThread() != QCoreApplication::instance()->thread();
        kind = a->kind;
        sawText = std::string(a->text, size_t(a->length)).find("<SenSet>") != std::string::npos;
        a->result = 0;
    }
    void Post(TIoXmlParseEventArgs *a) {
        onWorker = QThread::currentThread() != QCoreApplication::instance()->thread();
        kind = a->kind;
        sawText = a->structure != nullptr && a->counts != nullptr && a->parser_result != nullptr;
    }
    std::atomic<bool> onWorker{false};
    std::atomic<bool> sawText{false};
    std::atomic<int> kind{-1};
};

} // namespace

TEST(Session, CustomParserAndAfterParseHooks) {
    HttpPeer peer;
    peer.set_values(kValuesXml);
    peer.set_setup(kSetupXml);
    Recorder rec;
    ParseHooks hooks;
    auto s = SessionFor(peer, rec);
    s->customParse = 1;
    s->OnCustomParse =
        new EventHandler<ParseHooks, TIoXmlParseEventArgs>(&hooks, &ParseHooks::Custom);
    ASSERT_EQ(s->Open(), 0);
    ASSERT_EQ(s->GetValues(), 0);
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("values") || rec.Has("error"); }));
    ASSERT_TRUE(rec.Has("values"));
    EXPECT_EQ(rec.values[0].values, nullptr); // nothing was parsed by the library
    EXPECT_EQ(rec.values[0].values_counts, nullptr);
    EXPECT_TRUE(hooks.onWorker);
    EXPECT_TRUE(hooks.sawText);
    EXPECT_EQ(hooks.kind, 0);
    ASSERT_EQ(s->Close(), 0);

    ParseHooks after;
    s->customParse = 0;
    s->postParse = 1;
    s->OnPostParse = new EventHandler<ParseHooks, TIoXmlParseEventArgs>(&after, &ParseHooks::Post);
    ASSERT_TRUE(OpenAndGetSetup(*s));
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("setup") || rec.Has("error"); }));
    ASSERT_TRUE(rec.Has("setup"));
    EXPECT_TRUE(after.onWorker);
    EXPECT_TRUE(after.sawText);
    EXPECT_EQ(after.kind, 1);
}

TEST(Session, OpenFailuresAndImmediateRefusals) {
    Recorder rec;
    TIoXml s(nullptr);
    rec.Attach(s);
    s.host = std::string(120, 'h'); // the library takes at most 99 characters
    EXPECT_EQ(s.Open(), -1);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].operation, xsClosed);
    EXPECT_EQ(rec.errors[0].code, 13);
    EXPECT_EQ(s.GetState(), xsClosed);
    EXPECT_EQ(s.GetHandle(), -1);

    // The library refuses a document it cannot take: -1 at once, OnError
    // with the operation, and the session stays usable.
    HttpPeer peer;
    s.host = "127.0.0.1";
    s.port = peer.port();
    ASSERT_EQ(s.Open(), 0);
    const std::string huge(25000, 'x');
    EXPECT_EQ(s.LoadValues(huge.c_str()), -1);
    EXPECT_EQ(rec.errors.back().operation, xsValues);
    EXPECT_EQ(rec.errors.back().code, 81);
    EXPECT_EQ(s.GetState(), xsReady);
    EXPECT_EQ(s.GetValues(), 0);
}

TEST(Session, TwoSessionsShareOneReceiver) {
    const int before = SessionCount();
    EXPECT_FALSE(MessageWindowExists());
    HttpPeer peerA, peerB;
    peerA.set_setup(kSetupXml);
    std::string other = kSetupXml;
    other.replace(other.find("Lab box"), 7, "Other");
    peerB.set_setup(other);
    Recorder recA, recB;
    {
        auto a = SessionFor(peerA, recA);
        EXPECT_TRUE(MessageWindowExists());
        {
            auto b = SessionFor(peerB, recB);
            EXPECT_EQ(SessionCount(), before + 2);
            ASSERT_EQ(a->Open(), 0);
            ASSERT_EQ(b->Open(), 0);
            ASSERT_EQ(a->GetSetup(), 0);
            ASSERT_EQ(b->GetSetup(), 0);
            ASSERT_TRUE(PumpUntil([&] { return recA.Has("setup") && recB.Has("setup"); }));
            EXPECT_EQ(recA.setups[0].sender, a.get());
            EXPECT_STREQ(recA.setups[0].setup->Agent_DeviceName, "Lab box");
            EXPECT_EQ(recB.setups[0].sender, b.get());
            EXPECT_STREQ(recB.setups[0].setup->Agent_DeviceName, "Other");
        }
        // The receiver outlives the first of the two sessions.
        EXPECT_TRUE(MessageWindowExists());
        EXPECT_EQ(SessionCount(), before + 1);
        ASSERT_EQ(a->Close(), 0);
        ASSERT_TRUE(OpenAndGetSetup(*a));
        ASSERT_TRUE(PumpUntil([&] { return recA.Count("setup") == 2; }));
    }
    EXPECT_FALSE(MessageWindowExists());
    EXPECT_EQ(SessionCount(), before);
}

TEST(Session, DestroyingAnOpenSessionRaisesNoClose) {
    HttpPeer peer;
    Recorder rec;
    {
        auto s = SessionFor(peer, rec);
        ASSERT_EQ(s->Open(), 0);
    }
    PumpFor(50);
    EXPECT_FALSE(rec.Has("close"));
}

TEST(Session, SlotWithoutHandlerOnlyFreesThePayload) {
    HttpPeer peer;
    peer.set_setup(kSetupXml);
    Recorder rec;
    auto s = SessionFor(peer, rec);
    s->OnSetup = nullptr;
    ASSERT_TRUE(OpenAndGetSetup(*s));
    ASSERT_TRUE(PumpUntil([&] { return s->GetState() == xsReady; }));
    PumpFor(100);
    EXPECT_FALSE(rec.Has("setup"));
    EXPECT_FALSE(rec.Has("error"));
    // The session carries on normally.
    EXPECT_EQ(s->GetSetup(), 0);
}

// Results that arrive for a session that has gone are dropped: by the
// session registry while the receiver lives on, by the receiver's own
// destruction when it was the last session (the sanitizer build checks that
// the payloads are freed).
TEST(Session, LateResultsNeverReachADestroyedSession) {
    HttpPeer peer;
    peer.set_setup(kSetupXml);
    Recorder keepRec;
    auto keep = SessionFor(peer, keepRec); // keeps the receiver alive

    Recorder rec;
    auto s = SessionFor(peer, rec);
    ASSERT_TRUE(OpenAndGetSetup(*s));
    // Let the reply be posted but not dispatched, then destroy the session.
    WaitReadyUnpumped(*s);
    ASSERT_EQ(s->GetState(), xsReady);
    s.reset();
    PumpFor(100);
    EXPECT_TRUE(rec.events.size() == 2u); // open, request; no setup
    EXPECT_FALSE(rec.Has("setup"));

    // The last session goes with a reply still queued.
    keep.reset();
    Recorder lastRec;
    {
        auto last = SessionFor(peer, lastRec);
        ASSERT_TRUE(OpenAndGetSetup(*last));
        WaitReadyUnpumped(*last);
    }
    EXPECT_FALSE(MessageWindowExists());
    PumpFor(100);
    EXPECT_FALSE(lastRec.Has("setup"));
}

TEST(Session, DestroyWhileRequestRunsAgainstSlowDevice) {
    HttpPeer peer;
    peer.set_setup(kSetupXml);
    peer.set_delay_ms(1500);
    Recorder keepRec, rec;
    auto keep = SessionFor(peer, keepRec);
    {
        auto s = SessionFor(peer, rec);
        ASSERT_TRUE(OpenAndGetSetup(*s));
        ASSERT_TRUE(PumpUntil([&] { return peer.request_count() == 1; }));
    }
    PumpFor(2000);
    EXPECT_FALSE(rec.Has("setup"));
    EXPECT_FALSE(rec.Has("error"));
}

TEST(Session, HandlerMayCloseAndDestroyTheSession) {
    HttpPeer peer;
    peer.set_setup(kSetupXml);
    Recorder rec;
    auto s = SessionFor(peer, rec);
    rec.onSetup = [&](TIoXmlSetupEventArgs *) {
        EXPECT_EQ(s->Close(), 0);
        s.reset(); // the last session: its receiver is in the middle of a dispatch
    };
    ASSERT_TRUE(OpenAndGetSetup(*s));
    ASSERT_TRUE(PumpUntil([&] { return s == nullptr; }));
    PumpFor(50);
    EXPECT_FALSE(MessageWindowExists());
    EXPECT_EQ(rec.Count("setup"), 1u);
}
