/*
 * Handle slots, module records and the internal operations of the transport
 * and worker half of the XML client library. Private to the .cpp files in xml/.
 */
#ifndef QVXML_CORE_H
#define QVXML_CORE_H

#include "xml_internal.h"

#include <qvplatform.h>

#include <atomic>
#include <stdint.h>

namespace qvx {

constexpr int modules_max = QVXML_MODULES_MAX;
constexpr int ip_size = 16;
constexpr int host_size = QVXML_HOST_MAX;

// Document kinds as the model uses them.
constexpr int kind_values = 0;
constexpr int kind_setup = 1;
// Completion kinds of the worker.
constexpr int op_values = 0;
constexpr int op_setup = 1;
constexpr int op_upload = 2;

struct module_record;

// One handle slot. Fields marked "mutex" are read and written under `mutex`;
// `state` is atomic because the worker polls it during socket waits while
// qvxml_close writes it from another thread.
struct slot {
    char ip[ip_size];     // written by the worker only
    char host[host_size]; // written by open/close only
    int32_t port;
    std::atomic<int32_t> state; // 0 free, -1 opened / starting, 1 worker running
    int32_t idle;               // mutex
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
    bool wake_valid;
    qv_sem wait_sem; // mutex
    int64_t wait_deadline;
    int32_t waiting;
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

// Fills an error record for `code` with the current errno.
void fill_error(qvxml_error_record *record, int code);
// Library-wide error message of a table row ("NULL" outside 0..89).
const char *error_message(int code);

} // namespace qvx

#endif
