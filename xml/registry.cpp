// Library lifetime, handles and the modules of multi-device handles.
#include "core.h"

#include <libxml/parser.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace qvxml {
namespace {

// Serialises init, uninit and ref2zero against each other.
std::mutex &lifetime_mutex() {
    static std::mutex m;
    return m;
}

bool host_fits(const char *host) {
    return host != nullptr && strnlen(host, host_size) < host_size;
}

// Everything an open starts from; the caller holds open_lock.
void reset_slot(slot &s, void *user_data) {
    slot_lock lock(s);
    s.user_data = user_data;
    for (kind_state &k : s.kinds) {
        k.done = -1;
        k.parsed = -1;
        k.document.length = 0;
        k.document.xml[0] = '\0';
    }
    s.send_done = 1;
    s.trap_target_done = 1;
    std::memset(s.trap_target_ip, 0, sizeof s.trap_target_ip);
    s.trap_target_port = 0;
    s.want_trap_target = 0;
    s.request[0] = '\0';
    s.idle = 0;
    s.waiting = 0;
    s.wait_deadline = 0;
    s.wake_valid.store(false);
    s.socket = QV_INVALID_SOCKET;
    std::memset(&s.error, 0, sizeof s.error);
}

// Shared start of both opens: takes open_lock and the slot. The handle, or -1
// (code recorded) when none is free or the library is not initialised.
int open_slot(void *user_data) {
    library &l = lib();
    {
        std::lock_guard<std::mutex> guard(lifetime_mutex());
        if (l.init_count < 0) {
            record_error(0, error_code::thread_not_running);
            return -1;
        }
    }
    if (qv_sem_wait(&l.open_lock) != 0) {
        record_error(0, error_code::semaphore_wait);
        return -1;
    }
    // next_slot is only a hint: when it is taken (or no free slot was left when
    // the last worker moved it on) the lowest free slot is used, so every slot
    // from 1 to 99 can hold a working handle.
    int handle = l.next_slot.load();
    if (handle < 1 || handle >= slot_count || slot_at(handle).in_use.load()) {
        handle = 0;
        for (int h = 1; h < slot_count && handle == 0; ++h) {
            handle = slot_at(h).in_use.load() ? 0 : h;
        }
        if (handle == 0) {
            qv_sem_post(&l.open_lock);
            record_error(0, error_code::id_out_of_range);
            return -1;
        }
        l.next_slot.store(handle);
    }
    slot &s = slot_at(handle);
    s.in_use.store(true);
    reset_slot(s, user_data);
    return handle;
}

int start_worker(int handle, qv_thread_start_fn body) {
    slot &s = slot_at(handle);
    s.state.store(-1);
    s.thread = qv_thread_create(body);
    if (qv_thread_valid(s.thread) != 0) {
        s.thread = nullptr;
        s.state.store(0);
        s.in_use.store(false);
        qv_sem_post(&lib().open_lock);
        record_error(0, error_code::thread_create);
        return -1;
    }
    // open_lock is given back by the new worker once it has moved next_slot on.
    return handle;
}

// The slot of a multi-device handle (id_not_found recorded for any other).
slot *multi_slot(int handle) {
    slot *s = checked_slot(handle);
    if (s != nullptr && s->module_count == -1) {
        record_error(handle, error_code::id_not_found);
        return nullptr;
    }
    return s;
}

// Fills the address outputs of qvxml_get_module*; the caller holds the slot
// mutex. -1 (null_pointer) when a required output is missing.
int copy_address(int handle, const char *host, const char *ip, int port, char *host_out,
                 char *ip_out, int *port_out) {
    if (null_checked(handle, ip_out) == nullptr || null_checked(handle, port_out) == nullptr) {
        return -1;
    }
    if (host_out != nullptr) {
        std::memcpy(host_out, host, host_size);
    }
    std::memcpy(ip_out, ip, ip_size);
    *port_out = port;
    return 0;
}

} // namespace

library &lib() {
    static library state;
    return state;
}

int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void wake_worker(int handle) {
    slot &s = slot_at(handle);
    // Under the mutex: a close on another thread destroys the semaphore under it.
    slot_lock lock(s);
    if (!s.wake_valid.load() || qv_sem_post(&s.wake) != 0) {
        record_error(handle, error_code::semaphore_post);
    }
}

void slot_cleanup(int handle) {
    slot &s = slot_at(handle);
    slot_free_results(handle);
    {
        slot_lock lock(s);
        std::memset(s.host, 0, sizeof s.host);
        std::memset(s.ip, 0, sizeof s.ip);
        for (module_record *&m : s.modules) {
            if (m == nullptr) {
                break;
            }
            std::free(m);
            m = nullptr;
        }
        s.module_count = -1;
        if (s.socket != QV_INVALID_SOCKET) {
            qv_socket_close(s.socket);
            s.socket = QV_INVALID_SOCKET;
        }
        if (s.wake_valid.exchange(false)) {
            qv_sem_destroy(&s.wake);
        }
        // A caller blocked in qvxml_wait_finish on this handle learns of the close.
        if (s.waiting == 1) {
            s.wait_closed = 1;
            qv_sem_post(&s.wait_sem);
        }
    }
}

} // namespace qvxml

using namespace qvxml;

extern "C" {

int qvxml_error_many(int handle, int module_index, qvxml_error_record *record_out) {
    module_record *m = module_of(handle, module_index);
    if (m == nullptr || null_checked(handle, record_out) == nullptr) {
        return -1;
    }
    copy_error(handle, record_out, &m->error);
    return 0;
}

void qvxml_xml_init_parser(void) {
    xmlInitParser();
}

int qvxml_init(void) {
    std::lock_guard<std::mutex> guard(lifetime_mutex());
    library &l = lib();
    if (++l.init_count != 0) {
        record_error(0, error_code::library_in_use);
        return -1;
    }
    l.next_slot.store(1);
    l.stop_flag.store(0);
    xmlInitParser();
    if (qv_sem_init(&l.open_lock) != 0) {
        record_error(0, error_code::semaphore_init);
        l.init_count = -1;
        return -1;
    }
    for (int h = 1; h < slot_count; ++h) {
        slot &s = slot_at(h);
        // A handle ended from its own callback may still be cleaning up on
        // its detached worker; in_use drops only after that, and the slot
        // lock orders the two writes.
        slot_lock lock(s);
        if (!s.in_use.load()) {
            s.module_count = -1;
        }
    }
    l.thread0 = qv_thread_create(thread0_main);
    if (qv_thread_valid(l.thread0) != 0) {
        record_error(0, error_code::thread0_create);
        qv_sem_destroy(&l.open_lock);
        l.init_count = -1;
        return -1;
    }
    // Thread 0 signals once it runs; the second post leaves open_lock free.
    qv_sem_wait(&l.open_lock);
    qv_sem_post(&l.open_lock);
    return 0;
}

int qvxml_uninit(void) {
    std::lock_guard<std::mutex> guard(lifetime_mutex());
    library &l = lib();
    if (l.init_count == -1) {
        return 0;
    }
    if (l.init_count > 0) {
        --l.init_count;
        record_error(0, error_code::library_in_use);
        return -1;
    }
    l.init_count = -1;
    l.stop_flag.store(1);
    for (int h = 1; h < slot_count; ++h) {
        if (slot_at(h).in_use.load()) {
            qvxml_close(h);
        }
    }
    if (qv_thread_join(l.thread0) != 0) {
        record_error(0, error_code::thread0_not_ended);
        return -1;
    }
    l.thread0 = nullptr;
    qv_sem_destroy(&l.open_lock);
    return 0;
}

void qvxml_count_ref2zero(void) {
    std::lock_guard<std::mutex> guard(lifetime_mutex());
    if (lib().init_count > 0) {
        lib().init_count = 0;
    }
}

int qvxml_open(const char *host, int port, const qvxml_options *options, void *user_data) {
    if (!host_fits(host)) {
        record_error(0, error_code::ip_not_valid);
        return -1;
    }
    const int handle = open_slot(user_data);
    if (handle < 0) {
        return -1;
    }
    slot *s = &slot_at(handle);
    {
        slot_lock lock(*s);
        if (options != nullptr) {
            s->options = *options;
        } else {
            qvxml_clr_settings_struct(&s->options);
        }
        copy_text(s->host, host, sizeof s->host);
        std::memset(s->ip, 0, sizeof s->ip);
        s->port = port;
        s->module_count = -1;
    }
    return start_worker(handle, worker_single_main);
}

int qvxml_open_many(void *user_data) {
    const int handle = open_slot(user_data);
    if (handle < 0) {
        return -1;
    }
    slot *s = &slot_at(handle);
    {
        slot_lock lock(*s);
        qvxml_clr_settings_struct(&s->options);
        std::memset(s->host, 0, sizeof s->host);
        std::memset(s->ip, 0, sizeof s->ip);
        s->port = 0;
        s->module_count = 0;
        for (module_record *&m : s->modules) {
            m = nullptr;
        }
    }
    return start_worker(handle, worker_multi_main);
}

int qvxml_close(int handle) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (!s->in_use.load()) {
        record_error(handle, error_code::id_not_found);
        return -1;
    }
    if (current_worker() == handle) {
        // A worker cannot wait for itself to end; qvxml_close_for_callback is
        // the way out of a callback. Nothing is changed.
        record_error(handle, error_code::thread_not_ended);
        return -1;
    }
    s->state.store(0);
    if (s->wake_valid.load()) {
        qv_sem_post(&s->wake);
    }
    if (qv_thread_join(s->thread) != 0) {
        record_error(handle, error_code::thread_not_ended);
        return -1;
    }
    s->thread = nullptr;
    slot_cleanup(handle);
    s->in_use.store(false);
    return 0;
}

void qvxml_close_for_callback(int handle) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return;
    }
    s->state.store(0);
    qv_thread_close(s->thread);
    s->thread = nullptr;
    slot_cleanup(handle);
    s->in_use.store(false);
    // Unwinds the worker's frames (releasing any lock guard it holds) and ends it.
    qv_thread_exit();
}

int qvxml_add_module(int handle, const char *host, int port, const qvxml_options *options) {
    slot *s = multi_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (!host_fits(host)) {
        record_error(handle, error_code::ip_not_valid);
        return -1;
    }
    if (s->module_count >= modules_max) {
        record_error(handle, error_code::too_many_modules);
        return -1;
    }
    for (int i = 0; i < s->module_count; ++i) {
        const module_record *m = s->modules[i];
        if (m->port == port && std::strcmp(m->host, host) == 0) {
            record_error(handle, error_code::address_in_use);
            return -1;
        }
    }
    auto *m = static_cast<module_record *>(std::calloc(1, sizeof(module_record)));
    if (m == nullptr) {
        record_error(handle, error_code::no_memory);
        return -1;
    }
    copy_text(m->host, host, sizeof m->host);
    m->port = port;
    m->active = 1;
    if (options != nullptr) {
        m->options = *options;
    }
    slot_lock lock(*s);
    const int index = s->module_count;
    s->modules[index] = m;
    s->module_count = index + 1;
    return index;
}

int qvxml_count_modules(int handle) {
    slot *s = multi_slot(handle);
    return s == nullptr ? -1 : s->module_count;
}

int qvxml_active_modules(int handle, const int *flags) {
    slot *s = checked_slot(handle);
    if (s == nullptr || null_checked(handle, flags) == nullptr) {
        return -1;
    }
    slot_lock lock(*s);
    for (int i = 0; i < s->module_count; ++i) {
        s->modules[i]->active = flags[i];
    }
    return 0;
}

int qvxml_type_of(int handle) {
    slot *s = running_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    return s->module_count == -1 ? 0 : 1;
}

int qvxml_get_module_ex(int handle, char *host_out, char *ip_out, int *port_out) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (s->module_count != -1) {
        record_error(handle, error_code::id_not_found);
        return -1;
    }
    if (running_slot(handle) == nullptr) {
        return -1;
    }
    slot_lock lock(*s);
    return copy_address(handle, s->host, s->ip, s->port, host_out, ip_out, port_out);
}

int qvxml_get_module(int handle, char *ip_out, int *port_out) {
    return qvxml_get_module_ex(handle, nullptr, ip_out, port_out);
}

int qvxml_get_module_many_ex(int handle, int index, char *host_out, char *ip_out, int *port_out) {
    slot *s = multi_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (index < 0 || index >= s->module_count) {
        record_error(handle, error_code::index_not_found);
        return -1;
    }
    slot_lock lock(*s);
    const module_record *m = s->modules[index];
    return copy_address(handle, m->host, m->ip, m->port, host_out, ip_out, port_out);
}

int qvxml_get_module_many(int handle, int index, char *ip_out, int *port_out) {
    return qvxml_get_module_many_ex(handle, index, nullptr, ip_out, port_out);
}

int qvxml_clr_settings_struct(qvxml_options *options) {
    if (options != nullptr) {
        std::memset(options, 0, sizeof *options);
    }
    return 0;
}

} // extern "C"
