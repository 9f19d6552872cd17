// The library's single instance: its state, lock and error record. Shared by
// the public functions and the worker thread; not part of the public API.
#ifndef UDPS_STATE_H
#define UDPS_STATE_H

#include "qvnoncopyable.h"
#include "qvplatform.h"
#include "qvudps.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace qvudps {

inline constexpr uint16_t default_proxy_port = 9999;
// Bounds of qvudps_set_capacity.
inline constexpr int min_capacity = 1;
inline constexpr int max_capacity = 100000;

struct Library {
    // Created once and never destroyed, so that a call racing with the end
    // of the worker never meets a destroyed lock.
    qv_thread_mutex lock;

    qv_sem wake;
    bool wake_ready = false;
    // A post is outstanding that the worker has not taken yet; a second
    // request in the same window rides on it instead of failing to post.
    bool wake_outstanding = false;
    qv_thread_t thread = nullptr;

    bool initialized = false;
    bool quit = false;
    bool idle = true;
    bool search_done = true;
    bool setup_done = true;
    bool search_pending = false;
    bool setup_pending = false;
    // Kept apart so that a search and a setup served in one wake-up each
    // get the flag their caller gave.
    int name_lookup = 0;
    // Records whose names the next search (known_names) and the running one
    // (search_known) take instead of a lookup; see qvudps_set_known_names.
    std::vector<qvudps_module> known_names;
    std::vector<qvudps_module> search_known;
    int name_upload = 0;
    void *search_context = nullptr;
    void *setup_context = nullptr;

    // Written by the worker during a search only. Records below `count`
    // never change again in that search except for their names, which the
    // worker writes under the lock (callers may copy them under the lock
    // while the search runs); callers read them freely once
    // qvudps_search_finish returned 0. Resized only while nothing runs.
    int capacity = MAX_MODULES;
    std::vector<qvudps_module> records = std::vector<qvudps_module>(MAX_MODULES);
    std::vector<std::array<uint8_t, 6>> raw_macs = std::vector<std::array<uint8_t, 6>>(MAX_MODULES);
    std::atomic<int> count{0};
    std::atomic<int> cursor{0};
    // Distinct devices of the last search that answered but found the table
    // full (guarded by the lock).
    int dropped = 0;

    // The names as the last search left them, by table index. Callers edit
    // the records in place (the window writes a dialog's values into the
    // stored record), so only this copy tells a name the caller chose from
    // the one the search found, or failed to find. Written by the worker
    // under the lock.
    std::vector<std::string> searched_names;

    qvudps_module setup_request;

    bool proxy = false;
    std::string proxy_address;
    int proxy_port = default_proxy_port;
    std::string client_name;

    // Quiet period that ends the reply collection; 0 means the mode's own
    // (3 s through the relay, 1 s direct). Only tests shorten it, to run
    // many searches.
    int quiet_ms = 0;

    qvudps_tea_key search_key{};
    qvudps_tea_key setup_key{};
    qvudps_error_info last_error{};
    qvudps_callbacks hooks{};
};

Library &library();

// Holds the library lock for a scope.
class Guard : qv::noncopyable {
public:
    Guard();
    ~Guard();
};

// A failing step: the message, the system error number and its text.
void set_step_error(const char *message, int code);
// A refusal or a failure without a system error: code 0, empty detail.
void set_refusal(const char *message);

// Starts the worker thread's loop (worker.cpp).
void worker_main();

} // namespace qvudps

#endif
