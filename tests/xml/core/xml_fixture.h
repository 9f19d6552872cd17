// Shared pieces of the library tests: a fixture that initialises the library
// around each test, sample documents and a recorder for the callbacks.
#pragma once

#include "http_peer.h"
#include "qvxml.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvo::test {

inline const std::string values_doc =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<val:Root xmlns:val=\"http://example.invalid/val\" a=\"1\">\n"
    "<Agent><Version>1.2.3</Version><DeviceName>A &amp; B</DeviceName><Model>44</Model></Agent>\n"
    "<SenSet><Entry><Name>T1</Name><Value>21.5</Value></Entry>"
    "<Entry><Name>T2</Name></Entry></SenSet>\n"
    "</val:Root>\n";

inline std::string setup_doc(const std::string &trap_ip = "", const std::string &trap_port = "") {
    std::string traps;
    if (!trap_ip.empty()) {
        traps = "<SnmpTraps><Entry><Community>public</Community><IPaddr>" + trap_ip +
                "</IPaddr><Port>" + trap_port + "</Port><E>1</E><Idx>1</Idx></Entry></SnmpTraps>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n"
           "<Agent><Version>2.0</Version></Agent>\n"
           "<Network><Name>dev</Name><IPAddr>10.0.0.9</IPAddr><TelnetPort>99</TelnetPort>"
           "</Network>\n" +
           traps + "</Root>\n";
}

// One callback as the recorder saw it.
struct event {
    std::string what; // "values", "setup", "upload", "all_values", "all_setup", "connected",
                      // "connect_error"
    int handle = 0;
    int module = -1;
    bool has_data = false;
    int code = 0;     // connect_error: the record's code
    int count = -1;   // values: sensors; setup: SnmpTraps entries
    std::string text; // values: Agent_Version; setup: Network_Name
};

inline event make_event(std::string what, int handle, int module = -1, bool has_data = false,
                        int code = 0, int count = -1, std::string text = "") {
    event e;
    e.what = std::move(what);
    e.handle = handle;
    e.module = module;
    e.has_data = has_data;
    e.code = code;
    e.count = count;
    e.text = std::move(text);
    return e;
}

class recorder {
public:
    void add(event e) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(e));
        changed_.notify_all();
    }
    std::vector<event> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // Waits (bounded) until `count` events of kind `what` were recorded.
    bool wait_for(const std::string &what, size_t count, int timeout_ms = 8000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [&] { return count_locked(what) >= count; });
    }
    size_t count(const std::string &what) {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_locked(what);
    }
    // A callback table that records into the recorder given as user data.
    static qvxml_callbacks table();

private:
    size_t count_locked(const std::string &what) const {
        size_t n = 0;
        for (const event &e : events_) {
            n += e.what == what ? 1 : 0;
        }
        return n;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<event> events_;
};

inline qvxml_callbacks recorder::table() {
    qvxml_callbacks c{};
    c.values_done = [](int h, void *u, int m, qvxml_values *v, qvxml_values_counts *n) {
        event e = make_event("values", h, m, v != nullptr, 0, n ? n->SenSet : -1,
                             v ? v->Agent_Version : "");
        static_cast<recorder *>(u)->add(e);
    };
    c.setup_done = [](int h, void *u, int m, qvxml_setup *s, qvxml_setup_counts *n) {
        event e = make_event("setup", h, m, s != nullptr, 0, n ? n->SnmpTraps : -1,
                             s ? s->Network_Name : "");
        static_cast<recorder *>(u)->add(e);
    };
    c.upload_done = [](int h, void *u, int m, qvxml_setup *s, qvxml_setup_counts *n) {
        event e = make_event("upload", h, m, s != nullptr, 0, n ? n->SnmpTraps : -1,
                             s ? s->Network_Name : "");
        static_cast<recorder *>(u)->add(e);
    };
    c.all_values_done = [](int h, void *u) {
        static_cast<recorder *>(u)->add(make_event("all_values", h));
    };
    c.all_setup_done = [](int h, void *u) {
        static_cast<recorder *>(u)->add(make_event("all_setup", h));
    };
    c.connected = [](int h, void *u, int m) {
        static_cast<recorder *>(u)->add(make_event("connected", h, m));
    };
    c.connect_error = [](int h, void *u, int m, qvxml_error_record *r) {
        event e = make_event("connect_error", h, m, false, r->code);
        static_cast<recorder *>(u)->add(e);
    };
    return c;
}

// Initialises the library for each test and tears it down afterwards.
class library_test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(qvxml_init(), 0); }
    void TearDown() override {
        qvxml_count_ref2zero();
        EXPECT_EQ(qvxml_uninit(), 0);
    }

    // Opens a single-device handle on 127.0.0.1:port that records its
    // callbacks, and waits until its worker runs.
    int open_recorded(int port, const char *get_user = "", const char *get_password = "") {
        qvxml_options options{};
        options.callbacks = recorder::table();
        std::snprintf(options.get_user, sizeof options.get_user, "%s", get_user);
        std::snprintf(options.get_password, sizeof options.get_password, "%s", get_password);
        const int handle = qvxml_open("127.0.0.1", port, &options, &events);
        EXPECT_GT(handle, 0);
        EXPECT_EQ(qvxml_wait_finish(handle, 0, 5), 0);
        return handle;
    }

    // The values document the handle keeps, or "(none)".
    static std::string kept_values(int handle) {
        char *text = nullptr;
        int length = 0;
        if (qvxml_get_values_xml(handle, &text, &length) != 0)
            return "(none)";
        return std::string(text, static_cast<size_t>(length));
    }

    static int code_of(int handle) {
        qvxml_error_record record{};
        qvxml_error(handle, &record);
        return record.code;
    }

    recorder events;
};

inline HttpReply answer(int status, const std::string &body) {
    return HttpReply{{http_reply(status, body)}};
}

} // namespace kelvo::test
