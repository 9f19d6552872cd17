// Thread 0, the per-handle workers, completion reporting and waiting.
#include "http.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

namespace qvxml {
namespace {

thread_local int this_worker = 0;

constexpr unsigned thread0_period_ms = 1000;
constexpr unsigned thread0_step_ms = 50;

int32_t now_seconds() {
    return static_cast<int32_t>(std::time(nullptr));
}

struct free_deleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using heap_copy = std::unique_ptr<T, free_deleter>;

template <typename T> heap_copy<T> copy_of(const T *source) {
    heap_copy<T> copy(static_cast<T *>(std::calloc(1, sizeof(T))));
    if (copy && source != nullptr) {
        std::memcpy(copy.get(), source, sizeof(T));
    }
    return copy;
}

// Leading decimal digits of a text; 0 when there are none.
int32_t leading_number(const char *text) {
    int32_t value = 0;
    for (int i = 0; text[i] >= '0' && text[i] <= '9' && i < 9; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Takes the SNMP trap target from the cached setup, if one was asked for.
void take_trap_target(int handle) {
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        if (s.want_trap_target_from_setup != 1) {
            return;
        }
    }
    char ip[ip_size] = {};
    int32_t port = 0;
    {
        parse_guard guard;
        const parse_results &r = s.results;
        if (r.setup != nullptr && r.setup_counts != nullptr && r.setup_counts->SnmpTraps >= 1) {
            const char *text = r.setup->SnmpTraps_Entry_IPaddr[0];
            std::memcpy(ip, text, strnlen(text, ip_size - 1));
            port = leading_number(r.setup->SnmpTraps_Entry_Port[0]);
        }
    }
    slot_lock lock(s);
    std::memcpy(s.trap_target_ip, ip, sizeof ip);
    s.trap_target_port = port;
    s.trap_target_done = 1;
}

void signal_waiter(slot &s) {
    slot_lock lock(s);
    if (s.waiting == 1) {
        qv_sem_post(&s.wait_sem);
    }
}

void mark_done(int handle, int op) {
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        if (op == op_values) {
            s.values_done = 1;
        } else if (op == op_setup) {
            s.setup_done = 1;
        } else {
            s.send_done = 1;
            s.setup_done = 1;
        }
    }
    if (op != op_values) {
        take_trap_target(handle);
    }
    signal_waiter(s);
}

void set_idle(slot &s) {
    slot_lock lock(s);
    s.idle = 1;
}

// Stamps the time of the attempt and calls the completion callback of `op`.
void report_completion(int handle, int module_index, int op, bool failed) {
    slot &s = slot_at(handle);
    const int32_t now = now_seconds();
    module_record *m = module_index >= 0 ? s.modules[module_index] : nullptr;
    {
        parse_guard guard;
        if (op == op_values) {
            if (s.results.values != nullptr) {
                s.results.values->time = now;
            }
            if (m != nullptr) {
                m->values.time = now;
            }
        } else {
            if (s.results.setup != nullptr) {
                s.results.setup->time = now;
            }
            if (m != nullptr) {
                m->setup.time = now;
            }
        }
    }
    qvxml_callbacks callbacks;
    void *user_data = nullptr;
    slot_callbacks(handle, &callbacks, &user_data);
    if (op == op_values) {
        if (callbacks.values_done == nullptr) {
            return;
        }
        if (failed) {
            callbacks.values_done(handle, user_data, module_index, nullptr, nullptr);
            return;
        }
        heap_copy<qvxml_values> values;
        heap_copy<qvxml_values_counts> counts;
        {
            parse_guard guard;
            const bool custom = callbacks.custom_parser != nullptr;
            values = copy_of(custom ? nullptr : s.results.values);
            counts = copy_of(custom ? nullptr : s.results.values_counts);
        }
        callbacks.values_done(handle, user_data, module_index, values.get(), counts.get());
        return;
    }
    const qvxml_setup_done_cb callback =
        op == op_setup ? callbacks.setup_done : callbacks.upload_done;
    if (callback == nullptr) {
        return;
    }
    if (failed) {
        callback(handle, user_data, module_index, nullptr, nullptr);
        return;
    }
    heap_copy<qvxml_setup> setup;
    heap_copy<qvxml_setup_counts> counts;
    {
        parse_guard guard;
        const bool custom = callbacks.custom_parser != nullptr;
        setup = copy_of(custom ? nullptr : s.results.setup);
        counts = copy_of(custom ? nullptr : s.results.setup_counts);
    }
    callback(handle, user_data, module_index, setup.get(), counts.get());
}

// Moves next_slot on; the current one is this worker's. When no other slot is
// free, next_slot becomes 0 and the next open looks for one itself.
void advance_next_slot() {
    library &l = lib();
    const int current = l.next_slot.load();
    const int next = current + 1;
    if (next < slot_count && !slot_at(next).in_use.load()) {
        l.next_slot.store(next);
        return;
    }
    for (int h = 1; h < slot_count; ++h) {
        if (h != current && !slot_at(h).in_use.load()) {
            l.next_slot.store(h);
            return;
        }
    }
    l.next_slot.store(0);
}

// Common start of both workers. The handle, or -1 when the worker must end.
int worker_start() {
    library &l = lib();
    const int handle = l.next_slot.load();
    slot &s = slot_at(handle);
    this_worker = handle;
    advance_next_slot();
    if (qv_sem_init(&s.wake) != 0) {
        qv_sem_post(&l.open_lock);
        record_error(0, 20);
        return -1;
    }
    s.wake_valid.store(true);
    qv_sem_post(&l.open_lock);
    return handle;
}

// state -1 -> 1, unless the handle was closed while the worker started.
bool worker_running(slot &s) {
    slot_lock lock(s);
    int32_t expected = -1;
    if (!s.state.compare_exchange_strong(expected, 1)) {
        return false;
    }
    if (s.waiting == 1) {
        qv_sem_post(&s.wait_sem);
    }
    return true;
}

// Waits for the next wake-up. false when the handle was closed.
bool wait_for_work(slot &s) {
    {
        slot_lock lock(s);
        s.idle = 0;
    }
    qv_sem_wait(&s.wake);
    return s.state.load() != 0;
}

enum class single_op { none, values, setup, values_loaded, setup_loaded, upload };

single_op choose_single(slot &s) {
    slot_lock lock(s);
    if (s.values_done == 0) {
        return single_op::values;
    }
    if (s.setup_done == 0) {
        return single_op::setup;
    }
    if (s.values_parsed == 0) {
        return single_op::values_loaded;
    }
    if (s.setup_parsed == 0) {
        return single_op::setup_loaded;
    }
    if (s.send_done == 0) {
        return single_op::upload;
    }
    s.idle = 1;
    return single_op::none;
}

// false when the handle was closed during the operation.
bool single_download(int handle, int kind) {
    slot &s = slot_at(handle);
    const int op = kind == kind_values ? op_values : op_setup;
    char *buffer = kind == kind_values ? s.values_xml : s.setup_xml;
    int32_t *length = kind == kind_values ? &s.values_length : &s.setup_length;
    *length = buffer_size;
    endpoint e{handle, -1, s.ip, s.host, s.port, &s.options};
    const int result = http_get_document(e, buffer, length, kind);
    if (result == result_closed) {
        return false;
    }
    if (result != 0) {
        set_idle(s);
    }
    // Done before the callback runs, so that a new request made from inside the
    // callback, or by a caller woken by the flag, is not marked done by this one.
    mark_done(handle, op);
    report_completion(handle, -1, op, result != 0);
    return true;
}

bool single_upload(int handle) {
    slot &s = slot_at(handle);
    endpoint e{handle, -1, s.ip, s.host, s.port, &s.options};
    const int result = http_post_setup(e, s.request, s.setup_xml, &s.setup_length);
    if (result == result_closed) {
        return false;
    }
    if (result != 0) {
        s.setup_length = 0;
        s.setup_xml[0] = '\0';
        set_idle(s);
    }
    mark_done(handle, op_upload);
    report_completion(handle, -1, op_upload, result != 0);
    return true;
}

void single_parse_loaded(int handle, int kind) {
    slot &s = slot_at(handle);
    int result;
    {
        parse_guard guard;
        result = kind == kind_values ? parse_document(handle, s.values_xml, s.values_length, kind)
                                     : parse_document(handle, s.setup_xml, s.setup_length, kind);
    }
    {
        slot_lock lock(s);
        if (kind == kind_values) {
            s.values_parsed = 1;
            s.values_done = 1;
        } else {
            s.setup_parsed = 1;
            s.setup_done = 1;
        }
    }
    if (kind == kind_setup) {
        take_trap_target(handle);
    }
    signal_waiter(s);
    report_completion(handle, -1, kind == kind_values ? op_values : op_setup, result != 0);
}

// Copies the handle's results of a kind into a module after its download.
void copy_results_to_module(slot &s, module_record *m, int op) {
    parse_guard guard;
    const parse_results &r = s.results;
    if (op == op_values) {
        if (r.values != nullptr && r.values_counts != nullptr) {
            std::memcpy(&m->values, r.values, sizeof m->values);
            std::memcpy(&m->values_counts, r.values_counts, sizeof m->values_counts);
        }
    } else if (r.setup != nullptr && r.setup_counts != nullptr) {
        std::memcpy(&m->setup, r.setup, sizeof m->setup);
        std::memcpy(&m->setup_counts, r.setup_counts, sizeof m->setup_counts);
    }
}

void copy_handle_error_to_module(int handle, module_record *m) {
    slot &s = slot_at(handle);
    slot_lock lock(s);
    m->error = s.error;
}

// One module's part of a round. false when the handle was closed.
bool serve_module(int handle, int index, int *round_op) {
    slot &s = slot_at(handle);
    module_record *m = s.modules[index];
    record_success(handle);
    copy_handle_error_to_module(handle, m);
    int op;
    {
        slot_lock lock(s);
        if (s.values_done == 0) {
            op = op_values;
        } else if (s.setup_done == 0) {
            op = op_setup;
        } else if (s.send_done == 0) {
            op = op_upload;
        } else {
            s.idle = 1;
            return true;
        }
    }
    *round_op = op;
    int result;
    if (op == op_upload) {
        // No name resolution: the address found by the module's last download.
        // The answer is only reported: the module keeps its downloaded
        // document, which a later qvxml_send_setup_many edits and posts.
        endpoint e{handle, index, m->ip, "", m->port, &m->options};
        std::unique_ptr<char[]> answer(new (std::nothrow) char[buffer_size]);
        int32_t answer_length = 0;
        if (!answer) {
            record_error(handle, 5);
            result = -1;
        } else {
            result = http_post_setup(e, m->request, answer.get(), &answer_length);
        }
    } else {
        const int kind = op == op_values ? kind_values : kind_setup;
        char *buffer = kind == kind_values ? m->values_xml : m->setup_xml;
        int32_t *length = kind == kind_values ? &m->values_length : &m->setup_length;
        *length = buffer_size;
        endpoint e{handle, index, m->ip, m->host, m->port, &m->options};
        result = http_get_document(e, buffer, length, kind);
    }
    if (result == result_closed) {
        return false;
    }
    if (result != 0) {
        copy_handle_error_to_module(handle, m);
        set_idle(s);
        report_completion(handle, index, op, true);
        return true;
    }
    if (op != op_upload) {
        copy_results_to_module(s, m, op);
    }
    report_completion(handle, index, op, false);
    return true;
}

} // namespace

int current_worker() {
    return this_worker;
}

int finish_test(slot &s, int what) {
    slot_lock lock(s);
    switch (what) {
    case 0:
    case 1:
        return s.state.load() == 1;
    case 2:
    case 3:
        return s.values_done == 1;
    case 4:
    case 5:
        return s.setup_done == 1;
    case 6:
        return s.trap_target_done == 1;
    case 7:
    case 8:
        return s.send_done == 1;
    case 9:
        return s.values_parsed == 1;
    default:
        return s.setup_parsed == 1;
    }
}

void thread0_main() {
    library &l = lib();
    qv_sem_post(&l.open_lock);
    while (l.stop_flag.load() == 0) {
        const int64_t now = qv_monotonic_ms();
        for (int h = 0; h < slot_count; ++h) {
            slot &s = slot_at(h);
            if (s.state.load() == 0) {
                continue;
            }
            slot_lock lock(s);
            if (s.waiting == 1 && s.wait_deadline != 0 && s.wait_deadline < now) {
                s.wait_deadline = 0;
                qv_sem_post(&s.wait_sem);
            }
        }
        // The period stays one second; the stop flag is looked at more often so
        // that uninit does not wait a whole period.
        for (unsigned slept = 0; slept < thread0_period_ms && l.stop_flag.load() == 0;
             slept += thread0_step_ms) {
            qv_sleep_ms(thread0_step_ms);
        }
    }
}

void worker_single_main() {
    const int handle = worker_start();
    if (handle < 0) {
        return;
    }
    slot &s = slot_at(handle);
    if (s.options.check_at_start != 0) {
        endpoint e{handle, -1, s.ip, s.host, s.port, &s.options};
        const int result = http_connect(e);
        if (result == result_closed) {
            return;
        }
        http_close(handle);
    }
    if (!worker_running(s)) {
        return;
    }
    for (;;) {
        if (!wait_for_work(s)) {
            return;
        }
        record_success(handle);
        bool open = true;
        switch (choose_single(s)) {
        case single_op::values:
            open = single_download(handle, kind_values);
            break;
        case single_op::setup:
            open = single_download(handle, kind_setup);
            break;
        case single_op::values_loaded:
            single_parse_loaded(handle, kind_values);
            break;
        case single_op::setup_loaded:
            single_parse_loaded(handle, kind_setup);
            break;
        case single_op::upload:
            open = single_upload(handle);
            break;
        case single_op::none:
            break;
        }
        if (!open) {
            return;
        }
    }
}

void worker_multi_main() {
    const int handle = worker_start();
    if (handle < 0) {
        return;
    }
    slot &s = slot_at(handle);
    if (!worker_running(s)) {
        return;
    }
    for (;;) {
        signal_waiter(s);
        if (!wait_for_work(s)) {
            return;
        }
        int round_op = -1;
        const int count = s.module_count;
        for (int i = 0; i < count; ++i) {
            if (s.modules[i] == nullptr || s.modules[i]->active == 0) {
                continue;
            }
            if (!serve_module(handle, i, &round_op)) {
                return;
            }
        }
        record_success(handle);
        if (round_op < 0) {
            continue;
        }
        {
            slot_lock lock(s);
            if (round_op == op_values) {
                s.values_done = 1;
            } else if (round_op == op_setup) {
                s.setup_done = 1;
            } else {
                s.send_done = 1;
                s.setup_done = 1;
            }
        }
        qvxml_callbacks callbacks;
        void *user_data = nullptr;
        slot_callbacks(handle, &callbacks, &user_data);
        if (round_op == op_values && callbacks.all_values_done != nullptr) {
            callbacks.all_values_done(handle, user_data);
        } else if (round_op == op_setup && callbacks.all_setup_done != nullptr) {
            callbacks.all_setup_done(handle, user_data);
        }
    }
}

} // namespace qvxml

using namespace qvxml;

extern "C" {

int qvxml_callback(int handle, const qvxml_callbacks *callbacks) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    if (callbacks == nullptr) {
        record_error(handle, 85);
        return -1;
    }
    slot &s = slot_at(handle);
    slot_lock lock(s);
    if (s.state.load() != 1) {
        record_error(handle, 40);
        return -1;
    }
    s.options.callbacks = *callbacks;
    return 0;
}

int qvxml_clr_callback(int /*handle*/, qvxml_callbacks *callbacks) {
    if (callbacks != nullptr) {
        std::memset(callbacks, 0, sizeof *callbacks);
    }
    return 0;
}

int qvxml_finish(int handle, int what) {
    if (what < 0 || what > 10) {
        record_error(0, 2);
        return -1;
    }
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    if (finish_test(slot_at(handle), what) == 1) {
        return 0;
    }
    record_error(0, 1);
    return -1;
}

int qvxml_wait_finish(int handle, int what, int timeout_seconds) {
    if (what < 0 || what >= 11) {
        record_error(0, 2);
        return -1;
    }
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    int refuse = 0;
    {
        slot_lock lock(s);
        const int32_t state = s.state.load();
        // A free slot is never looked at by Thread 0, so its wait would not end.
        if ((what >= 2 && state != 1) || state == 0) {
            refuse = 40;
        } else if (s.waiting == 1) {
            refuse = 2; // one waiter per handle: the wait semaphore is the handle's
        } else if (qv_sem_init(&s.wait_sem) != 0) {
            refuse = 20;
        } else {
            s.waiting = 1;
            s.wait_closed = 0;
            s.wait_deadline = qv_monotonic_ms() + static_cast<int64_t>(timeout_seconds) * 1000;
            if (s.wait_deadline == 0) {
                s.wait_deadline = 1;
            }
        }
    }
    if (refuse != 0) {
        record_error(refuse == 40 ? handle : 0, refuse);
        return -1;
    }
    bool ended = finish_test(s, what) == 1;
    bool timed_out = false;
    bool closed = false;
    while (!ended) {
        qv_sem_wait(&s.wait_sem);
        ended = finish_test(s, what) == 1;
        slot_lock lock(s);
        timed_out = s.wait_deadline == 0;
        closed = s.wait_closed != 0;
        if (timed_out || closed) {
            break;
        }
    }
    {
        slot_lock lock(s);
        s.waiting = 0;
        qv_sem_destroy(&s.wait_sem);
    }
    if (ended) {
        return 0;
    }
    if (closed) {
        record_error(handle, 40);
        return -1;
    }
    record_error(0, 19);
    return -1;
}

} // extern "C"
