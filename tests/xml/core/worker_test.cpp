// Workers: closing during network waits, closing from a callback, the trial
// connection, the custom parser and the multi-device rounds.
#include "xml_fixture.h"

#include <atomic>
#include <cstring>

using namespace kelvo::test;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

using Worker = library_test;

TEST_F(Worker, CloseDuringConnectEndsTheWorkerWithoutCallbacks) {
    StalledListener stalled;
    if (!stalled.stalled()) {
        GTEST_SKIP() << "could not make a connect stay pending on loopback";
    }
    const int h = open_recorded(stalled.port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    std::this_thread::sleep_for(milliseconds(300));
    const auto start = steady_clock::now();
    ASSERT_EQ(qvxml_close(h), 0);
    EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
    EXPECT_TRUE(events.events().empty());
}

TEST_F(Worker, CloseDuringDownloadEndsTheWorkerWithoutCallbacks) {
    HttpPeer peer(HttpReply::silence(8000));
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    // The worker waits for a reply that does not come: the wait runs out first.
    EXPECT_EQ(qvxml_wait_finish(h, 2, 1), -1);
    qvxml_error_record record{};
    qvxml_error(0, &record);
    EXPECT_EQ(record.code, 19);
    EXPECT_STREQ(record.text, "Timeout");
    // A caller still blocked in a long wait learns of the close instead of
    // waiting for a handle that no longer exists.
    std::atomic<int> waited{1};
    std::thread waiter([&] { waited = qvxml_wait_finish(h, 2, 60); });
    std::this_thread::sleep_for(milliseconds(200));
    const auto start = steady_clock::now();
    ASSERT_EQ(qvxml_close(h), 0);
    EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
    waiter.join();
    EXPECT_EQ(waited.load(), -1);
    EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
    EXPECT_EQ(events.count("values"), 0u);
    EXPECT_EQ(events.count("connected"), 1u);
}

struct closing_recorder {
    recorder events;
    std::atomic<int> closed{0};
    std::atomic<int> plain_close{0};
};

TEST_F(Worker, CloseFromInsideACallbackEndsTheHandle) {
    HttpPeer peer([](const std::string &, int) { return answer(200, values_doc); });
    closing_recorder target;
    qvxml_options options{};
    options.callbacks.values_done = [](int h, void *u, int, qvxml_values *v,
                                       qvxml_values_counts *) {
        auto *c = static_cast<closing_recorder *>(u);
        // The waiting close cannot work from the handle's own worker: refused.
        c->plain_close = qvxml_close(h);
        c->closed = h;
        c->events.add(make_event("values", h, -1, v != nullptr));
        qvxml_close_for_callback(h);
        ADD_FAILURE() << "qvxml_close_for_callback returned";
    };
    const int h = qvxml_open("127.0.0.1", peer.port(), &options, &target);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_TRUE(target.events.wait_for("values", 1));
    EXPECT_EQ(target.closed.load(), h);
    EXPECT_EQ(target.plain_close.load(), -1);
    // The handle is gone: it takes no requests, and its slot opens again.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        gone = qvxml_get_values(h) == -1;
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_TRUE(gone);
    const int again = qvxml_open("127.0.0.1", peer.port(), nullptr, nullptr);
    EXPECT_GT(again, 0);
    EXPECT_EQ(qvxml_wait_finish(again, 0, 5), 0);
}

TEST_F(Worker, TrialConnectionAtStart) {
    HttpPeer peer([](const std::string &, int) { return HttpReply{}; });
    qvxml_options options{};
    options.check_at_start = 1;
    options.callbacks = recorder::table();
    const int h = qvxml_open("127.0.0.1", peer.port(), &options, &events);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 8), 0);
    EXPECT_EQ(events.count("connected"), 1u);

    const int refused = qvxml_open("127.0.0.1", free_port(), &options, &events);
    ASSERT_GT(refused, 0);
    ASSERT_EQ(qvxml_wait_finish(refused, 0, 8), 0);
    EXPECT_EQ(events.count("connect_error"), 1u);
}

TEST_F(Worker, CustomParserReplacesParsing) {
    static std::atomic<int> calls{0};
    static std::atomic<int> seen_length{0};
    calls = 0;
    qvxml_options options{};
    options.callbacks = recorder::table();
    options.callbacks.custom_parser = [](int, void *, const char *text, int length, int) {
        ++calls;
        seen_length = length;
        return std::strstr(text, "refuse") != nullptr ? 1 : 0;
    };
    const int h = qvxml_open("127.0.0.1", free_port(), &options, &events);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    const std::string ok = "<?xml version=\"1.0\"?><anything/>";
    ASSERT_EQ(qvxml_load_values(h, ok.c_str(), static_cast<int>(ok.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 9, 5), 0);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(seen_length.load(), static_cast<int>(ok.size()));
    EXPECT_EQ(code_of(h), 0);
    const std::string bad = "<?xml version=\"1.0\"?><refuse/>";
    ASSERT_EQ(qvxml_load_values(h, bad.c_str(), static_cast<int>(bad.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 9, 5), 0);
    EXPECT_EQ(code_of(h), 45);
    ASSERT_TRUE(events.wait_for("values", 2));
    EXPECT_FALSE(events.events().back().has_data);
}

TEST_F(Worker, MultiDeviceRoundServesActiveModulesOnly) {
    HttpPeer good([](const std::string &, int) { return answer(200, values_doc); });
    HttpPeer skipped([](const std::string &, int) { return answer(200, values_doc); });
    HttpPeer locked([](const std::string &request, int) {
        if (request.find("Authorization: Basic dTI6cDI=") != std::string::npos) {
            return answer(200, setup_doc());
        }
        return answer(401, "");
    });
    const int h = qvxml_open_many(&events);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    qvxml_options options{};
    ASSERT_EQ(qvxml_add_module(h, "127.0.0.1", good.port(), &options), 0);
    ASSERT_EQ(qvxml_add_module(h, "127.0.0.1", skipped.port(), nullptr), 1);
    std::strcpy(options.get_user, "u2");
    std::strcpy(options.get_password, "p2");
    ASSERT_EQ(qvxml_add_module(h, "127.0.0.1", locked.port(), &options), 2);
    const int active[] = {1, 0, 1};
    ASSERT_EQ(qvxml_active_modules(h, active), 0);
    qvxml_callbacks table = recorder::table();
    ASSERT_EQ(qvxml_callback(h, &table), 0);

    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 15), 0);
    ASSERT_TRUE(events.wait_for("all_values", 1));
    std::vector<int> modules;
    for (const event &e : events.events()) {
        if (e.what == "values") {
            modules.push_back(e.module);
            EXPECT_EQ(e.has_data, e.module == 0);
        }
    }
    EXPECT_EQ(modules, (std::vector<int>{0, 2}));
    EXPECT_EQ(events.events().back().what, "all_values");
    EXPECT_TRUE(skipped.requests().empty());

    qvxml_error_record record{};
    ASSERT_EQ(qvxml_error_many(h, 0, &record), 0);
    EXPECT_EQ(record.code, 0);
    ASSERT_EQ(qvxml_error_many(h, 2, &record), 0);
    EXPECT_EQ(record.code, 48);
    EXPECT_EQ(locked.requests().at(0), "GET /values.xml HTTP/1.0\r\n\r\n");

    char *text = nullptr;
    int length = 0;
    ASSERT_EQ(qvxml_get_values_xml_many(h, 0, &text, &length), 0);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), values_doc);
    qvxml_values *values = nullptr;
    qvxml_values_counts *counts = nullptr;
    ASSERT_EQ(qvxml_get_values_cache_many(h, 0, &values, &counts), 0);
    EXPECT_STREQ(values->Agent_Version, "1.2.3");
    EXPECT_EQ(counts->SenSet, 2);
    int32_t stamp = 0;
    ASSERT_EQ(qvxml_get_values_many_status(h, 0, &stamp), 0);
    EXPECT_GT(stamp, 0);
    // The failed module's cause is copied into the handle's record.
    EXPECT_EQ(qvxml_get_values_xml_many(h, 2, &text, &length), -1);
    EXPECT_EQ(code_of(h), 48);
    EXPECT_EQ(qvxml_get_values_xml_many(h, 7, &text, &length), -1);
    EXPECT_EQ(code_of(h), 4);
    EXPECT_EQ(qvxml_get_values_many_status(h, 1, &stamp), -1);
    EXPECT_EQ(code_of(h), 10);

    // A setup round: the read credentials of each module are used.
    ASSERT_EQ(qvxml_get_setup(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 4, 15), 0);
    ASSERT_TRUE(events.wait_for("all_setup", 1));
    EXPECT_EQ(locked.requests().back(),
              "GET /setup.xml HTTP/1.0\r\nAuthorization: Basic dTI6cDI=\r\n\r\n");
    qvxml_setup setup{};
    qvxml_setup_counts setup_counts{};
    ASSERT_EQ(qvxml_get_setup_cache_many_copy(h, 2, &setup, &setup_counts), 0);
    EXPECT_STREQ(setup.Network_Name, "dev");
    // Module 0 answered values.xml again: no setup in it, but a stored reply.
    ASSERT_EQ(qvxml_get_setup_xml_many(h, 0, &text, &length), 0);
}

} // namespace
