/*
 * Handle slots, module records and the internal operations of the transport
 * and worker half of the XML client library. Private to the .cpp files in xml/.
 */
#ifndef QVXML_CORE_H
#define QVXML_CORE_H

#include "model/xml_model.h"
#include "xml_internal.h"

#include <qvplatform.h>

#include <atomic>
#include <stdint.h>

namespace qvxml {

constexpr int modules_max = QVXML_MODULES_MAX;
constexpr int ip_size = 16;
constexpr int host_size = QVXML_HOST_MAX;

// Completion kinds of the worker.
constexpr int op_values = 0;
constexpr int op_setup = 1;
constexpr int op_upload = 2;

// One device of a multi-device handle, allocated once by qvxml_add_module.
struct module_record {
    char ip[ip_size]; // written by the worker under the slot mutex
    char host[host_size];
    int32_t active;
    int32_t port;
    int32_t values_length;
    int32_t setup_length;
    char values_xml[buffer_size];
    char setup_xml[buffer_size];
    char request[buffer_size];
    qvxml_values values; // copies of the handle's results after each download
    qvxml_values_counts values_counts;
    qvxml_setup setup;
    qvxml_setup_counts setup_counts;
    qvxml_error_record error; // slot mutex
    qvxml_options options;
};

// One handle slot. Fields marked "mutex" are read and written under `mutex`;
// `state` is atomic because the worker polls it during socket waits while
// qvxml_close writes it from another thread.
struct slot {
    char ip[ip_size];     // written by the worker only
    char host[host_size]; // written by open/close only
    int32_t port;
    std::atomic<int32_t> state; // 0 free, -1 opened / starting, 1 worker running
    // From open until close has freed everything; a slot is only reused after that.
    std::atomic<bool> in_use;
    int32_t idle; // mutex
    // Request/completion flags (mutex): -1 not requested, 0 requested, 1 ended.
    int32_t values_done;
    int32_t setup_done;
    int32_t values_parsed;
    int32_t setup_parsed;
    int32_t send_done;
    int32_t trap_target_done;
    char trap_target_ip[ip_size]; // mutex
    int32_t trap_target_port;
    int32_t want_trap_target_from_setup;
    int32_t want_trap_target_from_values;
    int32_t values_length;
    int32_t setup_length;
    char values_xml[buffer_size];
    char setup_xml[buffer_size];
    char request[buffer_size];
    qv_sem wake;
    std::atomic<bool> wake_valid;
    qv_sem wait_sem;       // mutex
    int64_t wait_deadline; // steady-clock milliseconds; 0 once it ran out
    int32_t waiting;
    int32_t wait_closed; // set by a close while someone waits
    void *user_data;
    qvxml_options options; // callbacks under mutex; credentials set while idle

    qv_socket_t socket;
    qv_thread_mutex mutex; // recursive; initialised once, never destroyed
    qv_thread_t thread;
    qvxml_error_record error; // mutex
    parse_results results;    // parse lock
    int32_t module_count;     // -1 single-device handle
    module_record *modules[modules_max];
};

// Slot `handle` (0..99); the table and every slot mutex exist from the first
// call on.
slot &slot_at(int handle);
inline bool handle_valid(int handle) {
    return handle >= 1 && handle < slot_count;
}

struct slot_lock {
    explicit slot_lock(slot &s) : m(&s.mutex) { qv_thread_mutex_lock(m); }
    ~slot_lock() { qv_thread_mutex_unlock(m); }
    slot_lock(const slot_lock &) = delete;
    slot_lock &operator=(const slot_lock &) = delete;
    qv_thread_mutex *m;
};

// Records "nothing failed" (code 0) with a cleared errno.
void record_success(int handle);

// Library state shared by the registry and the threads.
struct library {
    int init_count = -1;
    std::atomic<int> next_slot{1};
    qv_sem open_lock{};
    std::atomic<int> stop_flag{0};
    qv_thread_t thread0 = nullptr;
};
library &lib();

// Frees everything a closed slot holds (its worker has ended).
void slot_cleanup(int handle);
// Thread bodies.
void thread0_main();
void worker_single_main();
void worker_multi_main();
// The handle whose worker runs on the calling thread, 0 on any other thread.
int current_worker();
// 1 when the operation `what` (0..10) of the slot has ended, 0 when not.
int finish_test(slot &s, int what);
// Wakes the worker; a wake-up already pending records 21.
void wake_worker(int handle);

struct parse_guard {
    parse_guard() { parse_lock(); }
    ~parse_guard() { parse_unlock(); }
    parse_guard(const parse_guard &) = delete;
    parse_guard &operator=(const parse_guard &) = delete;
};

// Fills an error record for `code` with the current errno.
void fill_error(qvxml_error_record *record, int code);
// Library-wide error message of a table row ("NULL" outside 0..89).
const char *error_message(int code);

} // namespace qvxml

#endif
