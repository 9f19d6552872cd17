#include "peers.h"
#include "state.h"
#include "tea.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

using namespace kelvo::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

EventLog hooks_seen;

std::string ctx_text(void *ctx) {
    return ctx ? static_cast<const char *>(ctx) : "null";
}

void install_hooks() {
    qvudps_callbacks cb{};
    cb.on_search_done = [](void *ctx) { hooks_seen.add("search_done:" + ctx_text(ctx)); };
    cb.on_setup_done = [](void *ctx) { hooks_seen.add("setup_done:" + ctx_text(ctx)); };
    cb.on_search_error = [](void *ctx, const qvudps_error_info *e) {
        hooks_seen.add("search_error:" + ctx_text(ctx) + ":" + e->message);
    };
    cb.on_setup_error = [](void *ctx, const qvudps_error_info *e) {
        hooks_seen.add("setup_error:" + ctx_text(ctx) + ":" + e->message);
    };
    qvudps_callback(&cb);
}

class Search : public ::testing::Test {
protected:
    RelayPeer relay;
    char ctx[8] = "window";

    void SetUp() override {
        restart_library();
        hooks_seen.clear();
        install_hooks();
        ASSERT_EQ(qvudps_set_proxy("127.0.0.1", relay.port(), "Mvx-Config"), 0);
    }
    void TearDown() override {
        qvudps_set_capacity(MAX_MODULES);
        qvudps_uninit();
    }

    void search(int lookup = 0) {
        ASSERT_EQ(qvudps_search(lookup, ctx), 0) << last_message();
        ASSERT_TRUE(wait_search(30s));
    }
};

TEST_F(Search, CollectsSignedRepliesFromTheRelayOnly) {
    if (!relay.other_address_seen())
        GTEST_SKIP() << "this system shows 127.0.0.2 as 127.0.0.1, so a stranger cannot be made";
    const auto a = make_device(1, 7);
    auto a_again = a;
    std::strcpy(a_again.ip, "127.0.0.9");
    const auto b = make_device(2, 20, "127.0.0.1", 8080);
    auto forged = make_device(3, 2);
    Bytes forged_reply = reply_of(forged);
    forged_reply[45] ^= 0x01;
    Bytes from_other = reply_of(make_device(4, 2));
    Bytes from_other_port = reply_of(make_device(7, 2));
    Bytes wrapped(19 + 48);
    qvudps::wrap_proxy(qvudps::proxy_search, "Mvx-Config", reply_of(make_device(5, 2)).data(), 48,
                       wrapped.data(), wrapped.size());
    Bytes short_reply = reply_of(make_device(6, 2));
    short_reply.resize(47);
    Bytes with_tail = reply_of(b);
    with_tail.push_back(0x55); // bytes after 48 are not authenticated

    relay.set_scripts({{{reply_of(a)},
                        {forged_reply},
                        {from_other, 0, true},
                        {from_other_port, 0, false, true},
                        {wrapped},
                        {short_reply},
                        {reply_of(a_again)},
                        {with_tail}}});
    search();

    // What the relay got: one 67-byte kind-1 datagram with the search request.
    const auto got = relay.received();
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].bytes.size(), 67u);
    qvudps::ProxyHeader h;
    const uint8_t *payload;
    size_t plen;
    ASSERT_EQ(qvudps::decode_proxy_datagram(got[0].bytes.data(), 67, h, payload, plen),
              qvudps::ProxyStatus::ok);
    EXPECT_EQ(h.kind, 1);
    EXPECT_STREQ(h.client_name, "Mvx-Config");
    EXPECT_TRUE(qvudps::is_search_request(payload, plen));

    ASSERT_EQ(qvudps_count(), 2);
    qvudps_module *p = nullptr;
    qvudps_rewind();
    ASSERT_EQ(qvudps_record(&p), 0);
    EXPECT_STREQ(p->mac, a.mac);
    EXPECT_STREQ(p->ip, "127.0.0.1") << "the first reply of a device wins";
    EXPECT_EQ(p->type, 7);
    qvudps_module copy;
    ASSERT_EQ(qvudps_record_copy(&copy), 0);
    EXPECT_STREQ(copy.mac, b.mac);
    EXPECT_EQ(copy.web_port, 8080);
    EXPECT_EQ(qvudps_record(&p), -1);
    EXPECT_EQ(qvudps_record_copy(&copy), -1);
    qvudps_rewind();
    EXPECT_EQ(qvudps_record(&p), 0);

    EXPECT_EQ(hooks_seen.get(), std::vector<std::string>{"search_done:window"});
}

TEST_F(Search, RefusalsLeaveTheRunningSearchAlone) {
    relay.set_scripts({{{reply_of(make_device(1, 5))}}});
    restart_library(); // the search below is asked before the worker first waits
    ASSERT_EQ(qvudps_search(0, ctx), 0);
    EXPECT_EQ(qvudps_search_finish(), -1);
    EXPECT_EQ(qvudps_search(1, nullptr), -1);
    const std::string msg = last_message();
    EXPECT_TRUE(msg == "Search already run" || msg == "Action not success") << msg;

    // A search asked for right after init has not run yet, so it must not
    // look finished once the worker first settles.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(qvudps_search_finish(), -1);
    ASSERT_TRUE(wait_search(30s));
    EXPECT_EQ(qvudps_count(), 1);

    qvudps_error_info e;
    ASSERT_EQ(qvudps_search(0, nullptr), 0);
    EXPECT_EQ(qvudps_search(0, nullptr), -1);
    qvudps_error(&e);
    if (std::string(e.message) == "Search already run") {
        testing::internal::CaptureStdout();
        qvudps_error_print();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Search already run (0): \n");
    }
    EXPECT_EQ(e.code, 0);
    EXPECT_STREQ(e.detail, "");
    ASSERT_TRUE(wait_search(30s));

    EXPECT_EQ(qvudps_init(), -1);
    EXPECT_EQ(last_message(), "Init already run");
}

// Whoever sees a request finished (its done hook, or the poll) may ask for
// the next one at once: the worker is never "still busy" then.
std::mutex refusal_m;
int refusals = 0;
std::string first_refusal;
std::atomic<int> hook_rounds{0};
std::atomic<int> armed{0}; // 1: the search hook asks, 2: the setup hook asks
qvudps_module absent_device;

void note(int result) {
    std::lock_guard lk(refusal_m);
    if (result != 0 && refusals++ == 0)
        first_refusal = last_message();
}

// Inside a hook the pair is asked for while the worker holds the lock, so
// neither can find the other already running.
void ask_both() {
    note(qvudps_setup(&absent_device, 0, nullptr));
    note(qvudps_search(0, nullptr));
}

int refused() {
    std::lock_guard lk(refusal_m);
    return refusals;
}

void ask_from_hook(int which) {
    int expected = which;
    if (armed.compare_exchange_strong(expected, 0)) {
        ask_both();
        ++hook_rounds;
    }
}

TEST_F(Search, RequestsRightAfterTheEndAreAccepted) {
    // Short searches and setups that end at once (an unknown device), so
    // that thousands of ends can be met.
    struct ShortQuiet {
        ShortQuiet() { set(1); }
        ~ShortQuiet() { set(0); }
        static void set(int ms) {
            qvudps::Guard g;
            qvudps::library().quiet_ms = ms;
        }
    } short_quiet;
    absent_device = make_device(0xABCDE, 2);
    qvudps_callbacks cb{};
    cb.on_search_done = [](void *) { ask_from_hook(1); };
    cb.on_setup_done = [](void *) { ask_from_hook(2); };
    qvudps_callback(&cb);

    auto settle = [] {
        const auto limit = Clock::now() + 30s;
        while (qvudps_search_finish() != 0 || qvudps_setup_finish() != 0) {
            if (Clock::now() > limit)
                return false;
            std::this_thread::yield();
        }
        return true;
    };
    const auto stop = Clock::now() + 20s;
    int rounds = 0, hooked = 0;
    for (; rounds < 3000 && Clock::now() < stop && refused() == 0; ++rounds) {
        // Even rounds: one request the moment both polls say finished.
        // Odd rounds: one whose done hook asks for both.
        if (rounds % 2)
            armed = (rounds % 4 == 1) ? 1 : 2;
        hooked += rounds % 2;
        note((rounds % 4) < 2 ? qvudps_search(0, nullptr)
                              : qvudps_setup(&absent_device, 0, nullptr));
        ASSERT_TRUE(settle());
    }
    RecordProperty("rounds", rounds);
    EXPECT_EQ(refused(), 0) << first_refusal;
    EXPECT_EQ(hook_rounds, hooked);
}

TEST_F(Search, ProxyModeWaitsThreeQuietSecondsAndStopsAtTheTableSize) {
    // A reply 2 s after the previous one still counts in proxy mode.
    relay.set_scripts({{{reply_of(make_device(1, 5))}, {reply_of(make_device(2, 5)), 2000}}});
    search();
    EXPECT_EQ(qvudps_count(), 2);

    RelayPeer::Script burst;
    for (unsigned i = 0; i < MAX_MODULES + 1; ++i)
        burst.push_back({reply_of(make_device(100 + i, 8))});
    relay.set_scripts({burst});
    search();
    EXPECT_EQ(qvudps_count(), MAX_MODULES);
    EXPECT_EQ(qvudps_count_dropped(), 1);
    EXPECT_EQ(last_message(), "Count modules >= MAX_MODULES");
    EXPECT_EQ(qvudps_search_finish(), 0);
    const auto recs = all_records();
    EXPECT_STREQ(recs.front().mac, make_device(100, 8).mac);
    EXPECT_STREQ(recs.back().mac, make_device(100 + MAX_MODULES - 1, 8).mac);
}

TEST_F(Search, CapacityBoundsTheTableAndCountsTheDevicesLeftOut) {
    for (int bad : {0, -1, 100001}) {
        EXPECT_EQ(qvudps_set_capacity(bad), -1) << bad;
        EXPECT_EQ(last_message(), "Capacity out of range");
    }
    ASSERT_EQ(qvudps_set_capacity(10), 0);
    // 25 devices, each answering twice: 10 kept, 15 left out, none twice.
    RelayPeer::Script script;
    for (unsigned round = 0; round < 2; ++round)
        for (unsigned i = 0; i < 25; ++i)
            script.push_back({reply_of(make_device(200 + i, 8))});
    relay.set_scripts({script});
    search();
    EXPECT_EQ(qvudps_count(), 10);
    EXPECT_EQ(qvudps_count_dropped(), 15);
    EXPECT_EQ(last_message(), "Count modules >= MAX_MODULES");
    EXPECT_STREQ(all_records().back().mac, make_device(209, 8).mac);

    // A larger table keeps them all.
    ASSERT_EQ(qvudps_set_capacity(25), 0);
    EXPECT_EQ(qvudps_count(), 0) << "the old records are gone with the old table";
    ASSERT_EQ(qvudps_search(0, ctx), 0);
    EXPECT_EQ(qvudps_set_capacity(20), -1) << "not while a search runs";
    EXPECT_EQ(last_message(), "Action not success");
    ASSERT_TRUE(wait_search(30s));
    EXPECT_EQ(qvudps_count(), 25);
    EXPECT_EQ(qvudps_count_dropped(), 0);
}

TEST_F(Search, RecordsReadDuringASearchArePrefixesOfTheFinalList) {
    RelayPeer::Script script;
    for (unsigned i = 0; i < 6; ++i)
        script.push_back({reply_of(make_device(300 + i, 8)), i ? 150 : 0});
    relay.set_scripts({script});
    ASSERT_EQ(qvudps_search(0, ctx), 0);
    std::vector<std::vector<std::string>> seen;
    const auto limit = Clock::now() + 30s;
    while (Clock::now() < limit) {
        const bool running = qvudps_search_finish() != 0;
        std::vector<std::string> macs;
        const int n = qvudps_count_partial();
        qvudps_module m;
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(qvudps_record_partial(i, &m), 0);
            macs.push_back(m.mac);
        }
        EXPECT_EQ(qvudps_record_partial(-1, &m), -1);
        if (!running) {
            // Only a finished list cannot grow between the count and the read.
            EXPECT_EQ(qvudps_record_partial(n, &m), -1);
            break;
        }
        if (seen.empty() || seen.back() != macs)
            seen.push_back(macs);
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(qvudps_search_finish(), 0);
    std::vector<std::string> final_macs;
    for (const auto &r : all_records())
        final_macs.push_back(r.mac);
    ASSERT_EQ(final_macs.size(), 6u);
    ASSERT_FALSE(seen.empty());
    for (const auto &snapshot : seen) {
        ASSERT_LE(snapshot.size(), final_macs.size());
        EXPECT_TRUE(std::equal(snapshot.begin(), snapshot.end(), final_macs.begin()));
    }
    EXPECT_EQ(seen.back(), final_macs) << "all six are readable before the quiet period ends";
    EXPECT_EQ(qvudps_count_partial(), 6);
}

TEST_F(Search, KeysHooksAndContexts) {
    // A key set before init is replaced by the built-in one.
    qvudps_set_tea_keys(1, 2, 3, 4);
    restart_library();
    install_hooks();
    relay.set_scripts({{{reply_of(make_device(1, 5))}}});
    search();
    EXPECT_EQ(qvudps_count(), 1);

    // With another search key the built-in signature no longer counts.
    qvudps_set_tea_keys(1, 2, 3, 4);
    search();
    EXPECT_EQ(qvudps_count(), 0);
    qvudps_set_tea_keys(qvudps::builtin_search_key.k0, qvudps::builtin_search_key.k1,
                        qvudps::builtin_search_key.k2, qvudps::builtin_search_key.k3);

    // A context cleared before the hook runs reaches the hook as null.
    ASSERT_EQ(qvudps_search(0, ctx), 0);
    qvudps_clr_ptr(ctx);
    ASSERT_TRUE(wait_search(30s));

    // A send failure ends the search through the error hook.
    ASSERT_EQ(qvudps_set_proxy("300.1.1.1", relay.port(), "Mvx-Config"), 0);
    ASSERT_EQ(qvudps_search(0, ctx), 0);
    ASSERT_TRUE(wait_search(30s));
    EXPECT_EQ(qvudps_count(), 0);

    qvudps_callbacks cb;
    std::memset(&cb, 0xAB, sizeof cb);
    qvudps_clr_callback_struct(&cb);
    EXPECT_EQ(cb.on_search_done, nullptr);
    EXPECT_EQ(cb.on_setup_error, nullptr);
    EXPECT_EQ(qvudps_set_proxy("127.0.0.1", 70000, "x"), -1);
    EXPECT_EQ(last_message(), "Proxy port not valid");

    const auto ev = hooks_seen.get();
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0], "search_done:window");
    EXPECT_EQ(ev[1], "search_done:window");
    EXPECT_EQ(ev[2], "search_done:null");
    EXPECT_EQ(ev[3], "search_error:window:Sendto failed");
}

TEST_F(Search, UninitStopsTheWorkerAndInitStartsAgain) {
    qvudps_uninit();
    EXPECT_EQ(qvudps_search(0, nullptr), -1) << "no worker to run it";
    EXPECT_EQ(last_message(), "Action not success");
    restart_library();
    relay.set_scripts({{{reply_of(make_device(1, 5))}}});
    qvudps_set_proxy("127.0.0.1", relay.port(), "Mvx-Config");
    search();
    EXPECT_EQ(qvudps_count(), 1);
}

// ---- name lookup -----------------------------------------------------------

std::string page_text(const std::string &inner) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<?xml version=\"1.0\"?><root>" +
           inner + "</root>";
}

HttpReply page(const std::string &inner) {
    return HttpReply::whole(page_text(inner));
}

TEST_F(Search, NameLookupDecodesNamesAndKeepsSerialErrorOrder) {
    std::string long_name;
    for (int i = 0; i < 75; ++i)
        long_name += "\xC3\xA9"; // 150 bytes; byte 99 would split a character
    HttpPeer good(
        page("<DeviceName>Boiler &amp; room &#x263A; &#65; &lt;1&gt; &bogus; &#x1b;[2J&#7;&#x9B;"
             "</DeviceName>"));
    HttpPeer silent(HttpReply::silence());
    HttpPeer longer(page("<DeviceName>" + long_name + "</DeviceName>"));
    HttpPeer huge(page(std::string(UDPS_XML_FILE_SIZE, 'x')));
    HttpPeer extended_peer(page("<DeviceName>must not be asked</DeviceName>"));
    HttpPeer serial_peer(page("<DeviceName>must not be asked</DeviceName>"));
    HttpPeer no_open_tag(page("Boiler</DeviceName>"));

    auto ext = make_device(6, 31, "127.0.0.1", extended_peer.port());
    ext.name_supported = 1;
    std::strcpy(ext.name, "Own name");
    ext.type = 2; // TLV 4 names a type of the name set

    relay.set_scripts({{{reply_of(make_device(1, 2, "127.0.0.1", good.port()))},
                        {reply_of(make_device(2, 3, "127.0.0.1", silent.port()))},
                        {reply_of(make_device(3, 4, "127.0.0.1", longer.port()))},
                        {reply_of(make_device(4, 6, "127.0.0.1", huge.port()))},
                        {reply_of(ext)},
                        {reply_of(make_device(7, 7, "127.0.0.1", serial_peer.port()))},
                        {reply_of(make_device(8, 26, "127.0.0.1", no_open_tag.port()))}}});
    search(1);

    const auto recs = all_records();
    ASSERT_EQ(recs.size(), 7u);
    EXPECT_STREQ(recs[0].name, "Boiler & room \xE2\x98\xBA A <1> &bogus; &#x1b;[2J&#7;&#x9B;")
        << "a reference never becomes a control character";
    EXPECT_STREQ(recs[1].name, "") << "a silent device gives no name";
    EXPECT_EQ(std::strlen(recs[2].name), 98u) << "cut before a split character";
    EXPECT_EQ(std::string(recs[2].name), long_name.substr(0, 98));
    EXPECT_STREQ(recs[3].name, "");
    EXPECT_STREQ(recs[4].name, "Own name");
    EXPECT_STREQ(recs[6].name, "");
    EXPECT_EQ(extended_peer.connections(), 0);
    EXPECT_EQ(serial_peer.connections(), 0);
    ASSERT_EQ(good.requests().size(), 1u);
    EXPECT_EQ(good.requests()[0], "GET /values.xml HTTP/1.0\r\n\r\n");

    // The silent device finished last, but the record holds the failure of
    // the last device in table order.
    EXPECT_EQ(last_message(), "DeviceName not found");
}

TEST_F(Search, KnownNamesSpareUnchangedDevicesTheLookupOnce) {
    HttpPeer same(page("<DeviceName>asked</DeviceName>"));
    HttpPeer moved(page("<DeviceName>Moved</DeviceName>"));
    const auto a = make_device(1, 2, "127.0.0.1", same.port());
    const auto b = make_device(2, 2, "127.0.0.1", moved.port());
    relay.set_scripts({{{reply_of(a)}, {reply_of(b)}}});
    auto known_a = a, known_b = b;
    std::strcpy(known_a.name, "Kept");
    std::strcpy(known_b.name, "Old");
    std::strcpy(known_b.ip, "127.0.0.9"); // the device answers otherwise now
    const qvudps_module known[] = {known_a, known_b};
    ASSERT_EQ(qvudps_set_known_names(known, 2), 0);
    search(1);
    auto recs = all_records();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_STREQ(recs[0].name, "Kept");
    EXPECT_STREQ(recs[1].name, "Moved");
    EXPECT_EQ(same.connections(), 0);
    EXPECT_EQ(moved.requests().size(), 1u);
    // The list served one search; the next asks everyone again.
    search(1);
    EXPECT_STREQ(all_records()[0].name, "asked");
    EXPECT_EQ(qvudps_set_known_names(nullptr, 1), -1);
    EXPECT_EQ(qvudps_set_known_names(known, -1), -1);
    EXPECT_EQ(last_message(), "Capacity out of range");
}

TEST_F(Search, NameLookupFailuresOneByOne) {
    HttpPeer silent(HttpReply::silence());
    relay.set_scripts({{{reply_of(make_device(1, 2, "127.0.0.1", silent.port()))}}});
    search(1);
    EXPECT_EQ(last_message(), "XML file not found");
    EXPECT_EQ(qvudps_count(), 1);

    HttpPeer huge(page(std::string(UDPS_XML_FILE_SIZE, 'x') + "<DeviceName>a</DeviceName>"));
    relay.set_scripts({{{reply_of(make_device(1, 2, "127.0.0.1", huge.port()))}}});
    search(1);
    EXPECT_EQ(last_message(), "XML file size >= UDPS_XML_FILE_SIZE");
    EXPECT_STREQ(all_records()[0].name, "");

    // A device that trickles its answer gets one whole-exchange deadline,
    // not a fresh one per byte: the search ends, without its name.
    HttpPeer trickle(HttpReply::trickle(
        page_text(std::string(300, ' ') + "<DeviceName>slow</DeviceName>"), 100));
    relay.set_scripts({{{reply_of(make_device(1, 2, "127.0.0.1", trickle.port()))}}});
    search(1);
    EXPECT_EQ(last_message(), "Socket timeout");
    EXPECT_STREQ(all_records()[0].name, "");

    // Nobody listening: the connection fails, the search does not.
    uint16_t closed_port;
    {
        HttpPeer gone(HttpReply{});
        closed_port = gone.port();
    }
    relay.set_scripts({{{reply_of(make_device(1, 2, "127.0.0.1", closed_port))}}});
    search(1);
    EXPECT_EQ(last_message(), "Socket connect failure");
    EXPECT_EQ(qvudps_count(), 1);

    // Without the flag no device is asked.
    HttpPeer asked(page("<DeviceName>x</DeviceName>"));
    relay.set_scripts({{{reply_of(make_device(1, 2, "127.0.0.1", asked.port()))}}});
    search(0);
    EXPECT_EQ(asked.connections(), 0);
}

} // namespace
