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

// Completion kinds of the worker: the two downloads share their numbers with
// the document kinds.
constexpr int op_values = kind_values;
constexpr int op_setup = kind_setup;
constexpr int op_upload = 2;
constexpr int kind_count = 2;

// The text of one document as it was received or loaded.
struct stored_document {
    int32_t length;
    char xml[buffer_size];
};

// One device of a multi-device handle, allocated once by qvxml_add_module.
struct module_record {
    char ip[ip_size]; // written by the worker under the slot mutex
    char host[host_size];
    int32_t active;
    int32_t port;
    stored_document documents[kind_count]; // by kind
    char request[buffer_size];
    qvxml_values values; // copies of the handle's results after each download
    qvxml_values_counts values_counts;
    qvxml_setup setup;
    qvxml_setup_counts setup_counts;
    qvxml_error_record error; // slot mutex
    qvxml_options options;
};

// What a single-device handle keeps per kind of document (all under the
// slot mutex). The flags: -1 not requested, 0 requested, 1 ended.
struct kind_state {
    int32_t done;   // download or parse of a loaded text
    int32_t parsed; // a loaded text waiting for the worker's parse
    stored_document document;
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
    int32_t idle;                 // mutex
    kind_state kinds[kind_count]; // by kind; a multi-device handle uses the flags only
    // Request/completion flags (mutex): -1 not requested, 0 requested, 1 ended.
    int32_t send_done;
    int32_t trap_target_done;
    char trap_target_ip[ip_size]; // mutex
    int32_t trap_target_port;
    int32_t want_trap_target; // the next setup document also gives the trap target
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

// The parsed results of each kind: cached per handle (parse lock), copied per
// module after its download.
template <typename S, typename C, typename Done, S *parse_results::*Cached,
          C *parse_results::*CachedCounts, S module_record::*Module, C module_record::*ModuleCounts>
struct kind_results {
    using structure = S;
    using counts = C;
    using done_cb = Done;
    static S *cached(const parse_results &r) { return r.*Cached; }
    static C *cached_counts(const parse_results &r) { return r.*CachedCounts; }
    static S *of(module_record &m) { return &(m.*Module); }
    static C *counts_of(module_record &m) { return &(m.*ModuleCounts); }
};
template <int Kind> struct results_of;
template <>
struct results_of<kind_values>
    : kind_results<qvxml_values, qvxml_values_counts, qvxml_values_done_cb, &parse_results::values,
                   &parse_results::values_counts, &module_record::values,
                   &module_record::values_counts> {};
template <>
struct results_of<kind_setup> : kind_results<qvxml_setup, qvxml_setup_counts, qvxml_setup_done_cb,
                                             &parse_results::setup, &parse_results::setup_counts,
                                             &module_record::setup, &module_record::setup_counts> {
};

// Slot `handle` (0..99); the table and every slot mutex exist from the first
// call on.
slot &slot_at(int handle);
inline bool handle_valid(int handle) {
    return handle >= 1 && handle < slot_count;
}
// The slot of a handle a caller passed in, or null with id_out_of_range
// recorded in the library-wide record.
slot *checked_slot(int handle);
// The slot of a handle whose worker runs, or null (id_out_of_range, or
// thread_not_running recorded in the handle's record).
slot *running_slot(int handle);
// The module of a multi-device handle, or null (id_out_of_range, or
// index_not_valid recorded).
module_record *module_of(int handle, int index);
// Records null_pointer when `pointer` is null; the pointer.
template <typename T> T *null_checked(int handle, T *pointer) {
    if (pointer == nullptr) {
        record_error(handle, error_code::null_pointer);
    }
    return pointer;
}
// Copies at most size - 1 bytes of a text that may lack its NUL (or be null)
// and clears the rest of the destination.
void copy_text(char *destination, const char *source, size_t size);

struct slot_lock {
    explicit slot_lock(slot &s) : m(&s.mutex) { qv_thread_mutex_lock(m); }
    ~slot_lock() { qv_thread_mutex_unlock(m); }
    slot_lock(const slot_lock &) = delete;
    slot_lock &operator=(const slot_lock &) = delete;
    qv_thread_mutex *m;
};

// Records "nothing failed" (error_code::none) with a cleared errno.
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
// Milliseconds of a monotonic clock.
int64_t now_ms();
// Asks the worker for a download of `kind`, forgetting the stored document;
// trap_target: the setup document also gives the SNMP trap target.
void queue_download(int handle, int kind, bool trap_target);
// Wakes the worker; a wake-up already pending records semaphore_post.
void wake_worker(int handle);

struct parse_guard {
    parse_guard() { parse_lock(); }
    ~parse_guard() { parse_unlock(); }
    parse_guard(const parse_guard &) = delete;
    parse_guard &operator=(const parse_guard &) = delete;
};

} // namespace qvxml

#endif
