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
        if (s.want_trap_target != 1) {
            return;
        }
    }
    char ip[ip_size] = {};
    int32_t port = 0;
    {
        parse_guard guard;
        const parse_results &r = s.results;
        if (r.setup != nullptr && r.setup_counts != nullptr && r.setup_counts->SnmpTraps >= 1) {
            copy_text(ip, r.setup->SnmpTraps_Entry_IPaddr[0], sizeof ip);
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

// Sets the flags that tell callers an operation ended; the caller holds the
// slot mutex. An upload's answer is a setup document.
void set_done_flags(slot &s, int op) {
    if (op == op_upload) {
        s.send_done = 1;
    }
    s.kinds[op == op_values ? kind_values : kind_setup].done = 1;
}

void mark_done(int handle, int op) {
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        set_done_flags(s, op);
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

// Stamps the time of the attempt and hands copies of the results to the
// completion callback (none after a failure or with a custom parser).
template <int Kind>
void report_kind(int handle, int module_index, typename results_of<Kind>::done_cb callback,
                 void *user_data, bool failed, bool custom) {
    using r = results_of<Kind>;
    slot &s = slot_at(handle);
    const int32_t now = now_seconds();
    module_record *m = module_index >= 0 ? s.modules[module_index] : nullptr;
    heap_copy<typename r::structure> structure;
    heap_copy<typename r::counts> counts;
    {
        parse_guard guard;
        if (r::cached(s.results) != nullptr) {
            r::cached(s.results)->time = now;
        }
        if (m != nullptr) {
            r::of(*m)->time = now;
        }
        if (callback != nullptr && !failed) {
            structure = copy_of(custom ? nullptr : r::cached(s.results));
            counts = copy_of(custom ? nullptr : r::cached_counts(s.results));
        }
    }
    if (callback != nullptr) {
        callback(handle, user_data, module_index, structure.get(), counts.get());
    }
}

void report_completion(int handle, int module_index, int op, bool failed) {
    qvxml_callbacks callbacks;
    void *user_data = nullptr;
    slot_callbacks(handle, &callbacks, &user_data);
    const bool custom = callbacks.custom_parser != nullptr;
    if (op == op_values) {
        report_kind<kind_values>(handle, module_index, callbacks.values_done, user_data, failed,
                                 custom);
    } else {
        report_kind<kind_setup>(handle, module_index,
                                op == op_setup ? callbacks.setup_done : callbacks.upload_done,
                                user_data, failed, custom);
    }
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
        record_error(0, error_code::semaphore_init);
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
    if (s.kinds[kind_values].done == 0) {
        return single_op::values;
    }
    if (s.kinds[kind_setup].done == 0) {
        return single_op::setup;
    }
    if (s.kinds[kind_values].parsed == 0) {
        return single_op::values_loaded;
    }
    if (s.kinds[kind_setup].parsed == 0) {
        return single_op::setup_loaded;
    }
    if (s.send_done == 0) {
        return single_op::upload;
    }
    s.idle = 1;
    return single_op::none;
}

int parse_locked(int handle, const stored_document &document, int kind) {
    // A guard object, so that a callback that ends the thread from inside the
    // parse (qvxml_close_for_callback) still gives the lock back while unwinding.
    parse_guard guard;
    return parse_document(handle, document.xml, document.length, kind);
}

// Sends `request`, stores the reply's body in `document` and parses it as
// `kind`. A failed exchange or parse leaves the document empty.
int fetch(const endpoint &e, const char *request, stored_document &document, int kind) {
    document.length = buffer_size;
    int result = http_exchange(e, request, strnlen(request, buffer_size - 1), document.xml,
                               &document.length);
    if (result == result_closed) {
        return result_closed;
    }
    if (result == 0 && parse_locked(e.handle, document, kind) != 0) {
        result = -1;
    }
    if (result != 0) {
        document.length = 0;
        document.xml[0] = '\0';
    }
    return result;
}

int download(const endpoint &e, stored_document &document, int kind) {
    char request[512] = {};
    if (http_get_request(e.handle, kind, *e.options, request, sizeof request) != 0) {
        document.length = 0;
        document.xml[0] = '\0';
        return -1;
    }
    return fetch(e, request, document, kind);
}

// A download (op_values, op_setup) or upload of a single-device handle.
// false when the handle was closed during the operation.
bool single_exchange(int handle, int op) {
    slot &s = slot_at(handle);
    endpoint e{handle, -1, s.ip, s.host, s.port, &s.options};
    const int result = op == op_upload
                           ? fetch(e, s.request, s.kinds[kind_setup].document, kind_setup)
                           : download(e, s.kinds[op].document, op);
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

void single_parse_loaded(int handle, int kind) {
    slot &s = slot_at(handle);
    const int result = parse_locked(handle, s.kinds[kind].document, kind);
    {
        slot_lock lock(s);
        s.kinds[kind].parsed = 1;
        s.kinds[kind].done = 1;
    }
    if (kind == kind_setup) {
        take_trap_target(handle);
    }
    signal_waiter(s);
    report_completion(handle, -1, kind, result != 0);
}

// Copies the handle's results of a kind into a module after its download.
template <int Kind> void copy_results_to_module(slot &s, module_record &m) {
    using r = results_of<Kind>;
    parse_guard guard;
    if (r::cached(s.results) != nullptr && r::cached_counts(s.results) != nullptr) {
        std::memcpy(r::of(m), r::cached(s.results), sizeof *r::of(m));
        std::memcpy(r::counts_of(m), r::cached_counts(s.results), sizeof *r::counts_of(m));
    }
}

void copy_handle_error_to_module(int handle, module_record *m) {
    slot &s = slot_at(handle);
    slot_lock lock(s);
    m->error = s.error;
}

// The operation a round of the multi-device worker serves, -1 none.
int choose_multi(slot &s) {
    slot_lock lock(s);
    if (s.kinds[kind_values].done == 0) {
        return op_values;
    }
    if (s.kinds[kind_setup].done == 0) {
        return op_setup;
    }
    if (s.send_done == 0) {
        return op_upload;
    }
    s.idle = 1;
    return -1;
}

// One module's part of a round. false when the handle was closed.
bool serve_module(int handle, int index, int *round_op) {
    slot &s = slot_at(handle);
    module_record *m = s.modules[index];
    record_success(handle);
    copy_handle_error_to_module(handle, m);
    const int op = choose_multi(s);
    if (op < 0) {
        return true;
    }
    *round_op = op;
    int result;
    if (op == op_upload) {
        // No name resolution: the address found by the module's last download.
        // The answer is only reported: the module keeps its downloaded
        // document, which a later qvxml_send_setup_many edits and posts.
        endpoint e{handle, index, m->ip, "", m->port, &m->options};
        std::unique_ptr<stored_document> answer(new (std::nothrow) stored_document);
        if (!answer) {
            record_error(handle, error_code::no_memory);
            result = -1;
        } else {
            result = fetch(e, m->request, *answer, kind_setup);
        }
    } else {
        endpoint e{handle, index, m->ip, m->host, m->port, &m->options};
        result = download(e, m->documents[op], op);
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
    if (op == op_values) {
        copy_results_to_module<kind_values>(s, *m);
    } else if (op == op_setup) {
        copy_results_to_module<kind_setup>(s, *m);
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
        return s.kinds[kind_values].done == 1;
    case 4:
    case 5:
        return s.kinds[kind_setup].done == 1;
    case 6:
        return s.trap_target_done == 1;
    case 7:
    case 8:
        return s.send_done == 1;
    case 9:
        return s.kinds[kind_values].parsed == 1;
    default:
        return s.kinds[kind_setup].parsed == 1;
    }
}

void thread0_main() {
    library &l = lib();
    qv_sem_post(&l.open_lock);
    while (l.stop_flag.load() == 0) {
        const int64_t now = now_ms();
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
            open = single_exchange(handle, op_values);
            break;
        case single_op::setup:
            open = single_exchange(handle, op_setup);
            break;
        case single_op::values_loaded:
            single_parse_loaded(handle, kind_values);
            break;
        case single_op::setup_loaded:
            single_parse_loaded(handle, kind_setup);
            break;
        case single_op::upload:
            open = single_exchange(handle, op_upload);
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
            set_done_flags(s, round_op);
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
    slot *s = checked_slot(handle);
    if (s == nullptr || null_checked(handle, callbacks) == nullptr) {
        return -1;
    }
    slot_lock lock(*s);
    if (running_slot(handle) == nullptr) {
        return -1;
    }
    s->options.callbacks = *callbacks;
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
        record_error(0, error_code::action_not_valid);
        return -1;
    }
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (finish_test(*s, what) == 1) {
        return 0;
    }
    record_error(0, error_code::action_not_finished);
    return -1;
}

int qvxml_wait_finish(int handle, int what, int timeout_seconds) {
    if (what < 0 || what >= 11) {
        record_error(0, error_code::action_not_valid);
        return -1;
    }
    slot *checked = checked_slot(handle);
    if (checked == nullptr) {
        return -1;
    }
    slot &s = *checked;
    error_code refuse = error_code::none;
    {
        slot_lock lock(s);
        const int32_t state = s.state.load();
        // A free slot is never looked at by Thread 0, so its wait would not end.
        if ((what >= 2 && state != 1) || state == 0) {
            refuse = error_code::thread_not_running;
        } else if (s.waiting == 1) {
            refuse = error_code::action_not_valid; // one waiter per handle: the wait semaphore is
                                                   // the handle's
        } else if (qv_sem_init(&s.wait_sem) != 0) {
            refuse = error_code::semaphore_init;
        } else {
            s.waiting = 1;
            s.wait_closed = 0;
            s.wait_deadline = now_ms() + static_cast<int64_t>(timeout_seconds) * 1000;
            if (s.wait_deadline == 0) {
                s.wait_deadline = 1;
            }
        }
    }
    if (refuse != error_code::none) {
        record_error(refuse == error_code::thread_not_running ? handle : 0, refuse);
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
        record_error(handle, error_code::thread_not_running);
        return -1;
    }
    record_error(0, error_code::timeout);
    return -1;
}

} // extern "C"
