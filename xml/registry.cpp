// Library lifetime, handles, modules and the public read functions.
#include "core.h"
#include "files.h"

#include <libxml/parser.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>

namespace qvxml {
namespace {

// Serialises init, uninit and ref2zero against each other.
std::mutex &lifetime_mutex() {
    static std::mutex m;
    return m;
}

void copy_text(char *destination, const char *source, size_t size) {
    const size_t n = source == nullptr ? 0 : strnlen(source, size - 1);
    std::memset(destination, 0, size);
    std::memcpy(destination, source, n);
}

bool host_fits(const char *host) {
    return host != nullptr && strnlen(host, host_size) < host_size;
}

// Everything an open starts from; the caller holds open_lock.
void reset_slot(slot &s, void *user_data) {
    slot_lock lock(s);
    s.user_data = user_data;
    s.values_done = -1;
    s.setup_done = -1;
    s.values_parsed = -1;
    s.setup_parsed = -1;
    s.send_done = 1;
    s.trap_target_done = 1;
    std::memset(s.trap_target_ip, 0, sizeof s.trap_target_ip);
    s.trap_target_port = 0;
    s.want_trap_target_from_setup = 0;
    s.want_trap_target_from_values = 0;
    s.values_length = 0;
    s.setup_length = 0;
    s.values_xml[0] = '\0';
    s.setup_xml[0] = '\0';
    s.request[0] = '\0';
    s.idle = 0;
    s.waiting = 0;
    s.wait_deadline = 0;
    s.wake_valid.store(false);
    s.socket = QV_INVALID_SOCKET;
    std::memset(&s.error, 0, sizeof s.error);
}

// The slot of a request function: valid, running. 0 or -1 (code recorded).
int running_slot(int handle) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    if (slot_at(handle).state.load() != 1) {
        record_error(handle, 40);
        return -1;
    }
    return 0;
}

// The error codes after which a stored document may still be handed out.
bool code_allows_results(int code) {
    switch (code) {
    case 0:
    case 1:
    case 4:
    case 10:
    case 11:
    case 16:
    case 42:
    case 43:
        return true;
    default:
        return false;
    }
}

bool contains_declaration(const char *text, int32_t length) {
    const std::string_view document(text, static_cast<size_t>(length));
    return document.find("<?xml") != std::string_view::npos;
}

int write_file(int handle, const char *path, const char *text, int32_t length) {
    if (path == nullptr) {
        record_error(handle, 6);
        return -1;
    }
    // A document holds the device's passwords; a full disk must not cost the
    // previous file.
    const int code = files::replace_file(path, text, static_cast<size_t>(length));
    if (code != 0) {
        record_error(handle, code);
        return -1;
    }
    return 0;
}

// Which document a member of the get-document family reads.
struct document_view {
    int32_t done;
    int32_t length;
    char *text;
};

document_view single_document(slot &s, int kind) {
    slot_lock lock(s);
    const int32_t done = kind == kind_values ? s.values_done : s.setup_done;
    if (done != 1) {
        // The worker may be writing the buffer and its length right now.
        return {done, 0, nullptr};
    }
    if (kind == kind_values) {
        return {done, s.values_length, s.values_xml};
    }
    return {done, s.setup_length, s.setup_xml};
}

// Steps 1 to 4 of the family for a single-device handle. 0 or -1.
int check_single(int handle, int kind, document_view *view) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    qvxml_error_record record;
    copy_error(handle, &record, &s.error);
    if (!code_allows_results(record.code)) {
        return -1;
    }
    *view = single_document(s, kind);
    if (view->done != 1) {
        record_error(handle, 1);
        return -1;
    }
    if (view->length == 0) {
        record_error(handle, 10);
        return -1;
    }
    if (!contains_declaration(view->text, view->length)) {
        record_error(handle, 11);
        return -1;
    }
    return 0;
}

// The module of a multi-device handle, or null with 18 or 4 recorded.
module_record *module_of(int handle, int index) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return nullptr;
    }
    slot &s = slot_at(handle);
    if (index < 0 || index >= s.module_count || s.modules[index] == nullptr) {
        record_error(handle, 4);
        return nullptr;
    }
    return s.modules[index];
}

int check_module(int handle, int index, int kind, module_record **module, bool check_error) {
    module_record *m = module_of(handle, index);
    if (m == nullptr) {
        return -1;
    }
    slot &s = slot_at(handle);
    if (check_error) {
        qvxml_error_record record;
        copy_error(handle, &record, &m->error);
        if (!code_allows_results(record.code)) {
            copy_error(handle, &s.error, &record);
            return -1;
        }
    }
    int32_t length;
    const char *text;
    {
        slot_lock lock(s);
        length = kind == kind_values ? m->values_length : m->setup_length;
        text = kind == kind_values ? m->values_xml : m->setup_xml;
    }
    if (length == 0) {
        record_error(handle, 10);
        return -1;
    }
    if (!contains_declaration(text, length)) {
        record_error(handle, 11);
        return -1;
    }
    *module = m;
    return 0;
}

template <typename T> T *null_checked(int handle, T *pointer) {
    if (pointer == nullptr) {
        record_error(handle, 85);
    }
    return pointer;
}

} // namespace

library &lib() {
    static library state;
    return state;
}

void wake_worker(int handle) {
    slot &s = slot_at(handle);
    // Under the mutex: a close on another thread destroys the semaphore under it.
    slot_lock lock(s);
    if (!s.wake_valid.load() || qv_sem_post(&s.wake) != 0) {
        record_error(handle, 21);
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
        record_error(0, 80);
        return -1;
    }
    l.next_slot.store(1);
    l.stop_flag.store(0);
    xmlInitParser();
    if (qv_sem_init(&l.open_lock) != 0) {
        record_error(0, 20);
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
        record_error(0, 37);
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
        record_error(0, 80);
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
        record_error(0, 36);
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

// Shared start of both opens: takes open_lock and the slot. Handle or -1.
static int open_slot(void *user_data) {
    library &l = lib();
    {
        std::lock_guard<std::mutex> guard(lifetime_mutex());
        if (l.init_count < 0) {
            record_error(0, 40);
            return -1;
        }
    }
    if (qv_sem_wait(&l.open_lock) != 0) {
        record_error(0, 22);
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
            record_error(0, 18);
            return -1;
        }
        l.next_slot.store(handle);
    }
    slot &s = slot_at(handle);
    s.in_use.store(true);
    reset_slot(s, user_data);
    return handle;
}

static int start_worker(int handle, qv_thread_start_fn body) {
    slot &s = slot_at(handle);
    s.state.store(-1);
    s.thread = qv_thread_create(body);
    if (qv_thread_valid(s.thread) != 0) {
        s.thread = nullptr;
        s.state.store(0);
        s.in_use.store(false);
        qv_sem_post(&lib().open_lock);
        record_error(0, 38);
        return -1;
    }
    // open_lock is given back by the new worker once it has moved next_slot on.
    return handle;
}

int qvxml_open(const char *host, int port, const qvxml_options *options, void *user_data) {
    if (!host_fits(host)) {
        record_error(0, 13);
        return -1;
    }
    const int handle = open_slot(user_data);
    if (handle < 0) {
        return -1;
    }
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        if (options != nullptr) {
            s.options = *options;
        } else {
            qvxml_clr_settings_struct(&s.options);
        }
        copy_text(s.host, host, sizeof s.host);
        std::memset(s.ip, 0, sizeof s.ip);
        s.port = port;
        s.module_count = -1;
    }
    return start_worker(handle, worker_single_main);
}

int qvxml_open_many(void *user_data) {
    const int handle = open_slot(user_data);
    if (handle < 0) {
        return -1;
    }
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        qvxml_clr_settings_struct(&s.options);
        std::memset(s.host, 0, sizeof s.host);
        std::memset(s.ip, 0, sizeof s.ip);
        s.port = 0;
        s.module_count = 0;
        for (module_record *&m : s.modules) {
            m = nullptr;
        }
    }
    return start_worker(handle, worker_multi_main);
}

int qvxml_close(int handle) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    if (!s.in_use.load()) {
        record_error(handle, 16);
        return -1;
    }
    if (current_worker() == handle) {
        // A worker cannot wait for itself to end; qvxml_close_for_callback is
        // the way out of a callback. Nothing is changed.
        record_error(handle, 39);
        return -1;
    }
    s.state.store(0);
    if (s.wake_valid.load()) {
        qv_sem_post(&s.wake);
    }
    if (qv_thread_join(s.thread) != 0) {
        record_error(handle, 39);
        return -1;
    }
    s.thread = nullptr;
    slot_cleanup(handle);
    s.in_use.store(false);
    return 0;
}

void qvxml_close_for_callback(int handle) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return;
    }
    slot &s = slot_at(handle);
    s.state.store(0);
    qv_thread_close(s.thread);
    s.thread = nullptr;
    slot_cleanup(handle);
    s.in_use.store(false);
    // Unwinds the worker's frames (releasing any lock guard it holds) and ends it.
    qv_thread_exit();
}

int qvxml_add_module(int handle, const char *host, int port, const qvxml_options *options) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    if (s.module_count == -1) {
        record_error(handle, 16);
        return -1;
    }
    if (!host_fits(host)) {
        record_error(handle, 13);
        return -1;
    }
    if (s.module_count >= modules_max) {
        record_error(handle, 41);
        return -1;
    }
    for (int i = 0; i < s.module_count; ++i) {
        const module_record *m = s.modules[i];
        if (m->port == port && std::strcmp(m->host, host) == 0) {
            record_error(handle, 15);
            return -1;
        }
    }
    auto *m = static_cast<module_record *>(std::calloc(1, sizeof(module_record)));
    if (m == nullptr) {
        record_error(handle, 5);
        return -1;
    }
    copy_text(m->host, host, sizeof m->host);
    m->port = port;
    m->active = 1;
    if (options != nullptr) {
        m->options = *options;
    }
    slot_lock lock(s);
    const int index = s.module_count;
    s.modules[index] = m;
    s.module_count = index + 1;
    return index;
}

int qvxml_count_modules(int handle) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    if (s.module_count == -1) {
        record_error(handle, 16);
        return -1;
    }
    return s.module_count;
}

int qvxml_active_modules(int handle, const int *flags) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    if (null_checked(handle, flags) == nullptr) {
        return -1;
    }
    slot &s = slot_at(handle);
    slot_lock lock(s);
    for (int i = 0; i < s.module_count; ++i) {
        s.modules[i]->active = flags[i];
    }
    return 0;
}

int qvxml_type_of(int handle) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    if (s.state.load() != 1) {
        record_error(handle, 40);
        return -1;
    }
    return s.module_count == -1 ? 0 : 1;
}

int qvxml_get_module_ex(int handle, char *host_out, char *ip_out, int *port_out) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    if (s.module_count != -1) {
        record_error(handle, 16);
        return -1;
    }
    if (s.state.load() != 1) {
        record_error(handle, 40);
        return -1;
    }
    if (null_checked(handle, ip_out) == nullptr || null_checked(handle, port_out) == nullptr) {
        return -1;
    }
    slot_lock lock(s);
    if (host_out != nullptr) {
        std::memcpy(host_out, s.host, sizeof s.host);
    }
    std::memcpy(ip_out, s.ip, sizeof s.ip);
    *port_out = s.port;
    return 0;
}

int qvxml_get_module(int handle, char *ip_out, int *port_out) {
    return qvxml_get_module_ex(handle, nullptr, ip_out, port_out);
}

int qvxml_get_module_many_ex(int handle, int index, char *host_out, char *ip_out, int *port_out) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    slot &s = slot_at(handle);
    if (s.module_count == -1) {
        record_error(handle, 16);
        return -1;
    }
    if (index < 0 || index >= s.module_count) {
        record_error(handle, 3);
        return -1;
    }
    if (null_checked(handle, ip_out) == nullptr || null_checked(handle, port_out) == nullptr) {
        return -1;
    }
    slot_lock lock(s);
    const module_record *m = s.modules[index];
    if (host_out != nullptr) {
        std::memcpy(host_out, m->host, sizeof m->host);
    }
    std::memcpy(ip_out, m->ip, sizeof m->ip);
    *port_out = m->port;
    return 0;
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

// ---- requests ----

static int request_download(int handle, int kind) {
    if (running_slot(handle) != 0) {
        return -1;
    }
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        if (kind == kind_values) {
            s.values_done = 0;
            s.want_trap_target_from_values = 0;
            s.values_xml[0] = '\0';
            s.values_length = 0;
        } else {
            s.setup_done = 0;
            s.want_trap_target_from_setup = 0;
            s.setup_xml[0] = '\0';
            s.setup_length = 0;
        }
    }
    wake_worker(handle);
    return 0;
}

int qvxml_get_values(int handle) {
    return request_download(handle, kind_values);
}
int qvxml_get_setup(int handle) {
    return request_download(handle, kind_setup);
}

static int request_load(int handle, const char *text, int length, int kind) {
    if (!handle_valid(handle)) {
        record_error(0, 18);
        return -1;
    }
    if (length < 0 || length >= buffer_size) {
        record_error(handle, 81);
        return -1;
    }
    if (null_checked(handle, text) == nullptr || running_slot(handle) != 0) {
        return -1;
    }
    slot &s = slot_at(handle);
    if (s.module_count != -1) {
        // The multi-device worker does not serve loaded documents.
        record_error(handle, 16);
        return -1;
    }
    {
        slot_lock lock(s);
        char *buffer = kind == kind_values ? s.values_xml : s.setup_xml;
        std::memcpy(buffer, text, static_cast<size_t>(length));
        buffer[length] = '\0';
        if (kind == kind_values) {
            s.values_length = length;
            s.values_parsed = 0;
            s.want_trap_target_from_values = 0;
        } else {
            s.setup_length = length;
            s.setup_parsed = 0;
            s.want_trap_target_from_setup = 0;
        }
    }
    wake_worker(handle);
    return 0;
}

int qvxml_load_values(int handle, const char *text, int length) {
    return request_load(handle, text, length, kind_values);
}
int qvxml_load_setup(int handle, const char *text, int length) {
    return request_load(handle, text, length, kind_setup);
}

// ---- the get-document family ----

static int get_xml(int handle, int kind, char **text_out, int *length_out) {
    document_view view{};
    if (check_single(handle, kind, &view) != 0) {
        return -1;
    }
    if (null_checked(handle, text_out) == nullptr || null_checked(handle, length_out) == nullptr) {
        return -1;
    }
    *text_out = view.text;
    *length_out = view.length;
    return 0;
}

static int get_xml_copy(int handle, int kind, char *buffer, int *length_out) {
    document_view view{};
    if (check_single(handle, kind, &view) != 0) {
        return -1;
    }
    if (null_checked(handle, buffer) == nullptr || null_checked(handle, length_out) == nullptr) {
        return -1;
    }
    std::memcpy(buffer, view.text, static_cast<size_t>(view.length) + 1);
    *length_out = view.length;
    return 0;
}

static int get_to_file(int handle, int kind, const char *path) {
    document_view view{};
    if (check_single(handle, kind, &view) != 0) {
        return -1;
    }
    return write_file(handle, path, view.text, view.length);
}

// The handle's cached result of a kind, or null with 2 recorded.
static void *cached(int handle, int kind, void **counts) {
    parse_results *r = slot_results(handle);
    void *structure = kind == kind_values ? static_cast<void *>(r->values) : r->setup;
    *counts = kind == kind_values ? static_cast<void *>(r->values_counts) : r->setup_counts;
    if (structure == nullptr || *counts == nullptr) {
        record_error(handle, 2);
        return nullptr;
    }
    return structure;
}

int qvxml_get_values_xml(int handle, char **text_out, int *length_out) {
    return get_xml(handle, kind_values, text_out, length_out);
}
int qvxml_get_setup_xml(int handle, char **text_out, int *length_out) {
    return get_xml(handle, kind_setup, text_out, length_out);
}
int qvxml_get_values_xml_copy(int handle, char *buffer, int *length_out) {
    return get_xml_copy(handle, kind_values, buffer, length_out);
}
int qvxml_get_setup_xml_copy(int handle, char *buffer, int *length_out) {
    return get_xml_copy(handle, kind_setup, buffer, length_out);
}
int qvxml_get_values_to_file(int handle, const char *path) {
    return get_to_file(handle, kind_values, path);
}
int qvxml_get_setup_to_file(int handle, const char *path) {
    return get_to_file(handle, kind_setup, path);
}

int qvxml_get_values_cache(int handle, qvxml_values **values_out,
                           qvxml_values_counts **counts_out) {
    document_view view{};
    if (check_single(handle, kind_values, &view) != 0) {
        return -1;
    }
    if (null_checked(handle, values_out) == nullptr ||
        null_checked(handle, counts_out) == nullptr) {
        return -1;
    }
    parse_guard guard;
    void *counts = nullptr;
    void *structure = cached(handle, kind_values, &counts);
    if (structure == nullptr) {
        return -1;
    }
    *values_out = static_cast<qvxml_values *>(structure);
    *counts_out = static_cast<qvxml_values_counts *>(counts);
    return 0;
}

int qvxml_get_setup_cache(int handle, qvxml_setup **setup_out, qvxml_setup_counts **counts_out) {
    document_view view{};
    if (check_single(handle, kind_setup, &view) != 0) {
        return -1;
    }
    if (null_checked(handle, setup_out) == nullptr || null_checked(handle, counts_out) == nullptr) {
        return -1;
    }
    parse_guard guard;
    void *counts = nullptr;
    void *structure = cached(handle, kind_setup, &counts);
    if (structure == nullptr) {
        return -1;
    }
    *setup_out = static_cast<qvxml_setup *>(structure);
    *counts_out = static_cast<qvxml_setup_counts *>(counts);
    return 0;
}

int qvxml_get_values_cache_copy(int handle, qvxml_values *values, qvxml_values_counts *counts) {
    document_view view{};
    if (check_single(handle, kind_values, &view) != 0) {
        return -1;
    }
    if (null_checked(handle, values) == nullptr || null_checked(handle, counts) == nullptr) {
        return -1;
    }
    parse_guard guard;
    void *c = nullptr;
    void *structure = cached(handle, kind_values, &c);
    if (structure == nullptr) {
        return -1;
    }
    std::memcpy(values, structure, sizeof *values);
    std::memcpy(counts, c, sizeof *counts);
    return 0;
}

int qvxml_get_setup_cache_copy(int handle, qvxml_setup *setup, qvxml_setup_counts *counts) {
    document_view view{};
    if (check_single(handle, kind_setup, &view) != 0) {
        return -1;
    }
    if (null_checked(handle, setup) == nullptr || null_checked(handle, counts) == nullptr) {
        return -1;
    }
    parse_guard guard;
    void *c = nullptr;
    void *structure = cached(handle, kind_setup, &c);
    if (structure == nullptr) {
        return -1;
    }
    std::memcpy(setup, structure, sizeof *setup);
    std::memcpy(counts, c, sizeof *counts);
    return 0;
}

int qvxml_get_values_xml_many(int handle, int index, char **text_out, int *length_out) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_values, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, text_out) == nullptr || null_checked(handle, length_out) == nullptr) {
        return -1;
    }
    *text_out = m->values_xml;
    *length_out = m->values_length;
    return 0;
}

int qvxml_get_setup_xml_many(int handle, int index, char **text_out, int *length_out) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_setup, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, text_out) == nullptr || null_checked(handle, length_out) == nullptr) {
        return -1;
    }
    *text_out = m->setup_xml;
    *length_out = m->setup_length;
    return 0;
}

int qvxml_get_values_xml_many_copy(int handle, int index, char *buffer, int *length_out) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_values, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, buffer) == nullptr || null_checked(handle, length_out) == nullptr) {
        return -1;
    }
    std::memcpy(buffer, m->values_xml, static_cast<size_t>(m->values_length) + 1);
    *length_out = m->values_length;
    return 0;
}

int qvxml_get_setup_xml_many_copy(int handle, int index, char *buffer, int *length_out) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_setup, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, buffer) == nullptr || null_checked(handle, length_out) == nullptr) {
        return -1;
    }
    std::memcpy(buffer, m->setup_xml, static_cast<size_t>(m->setup_length) + 1);
    *length_out = m->setup_length;
    return 0;
}

int qvxml_get_values_to_file_many(int handle, int index, const char *path) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_values, &m, true) != 0) {
        return -1;
    }
    return write_file(handle, path, m->values_xml, m->values_length);
}

int qvxml_get_setup_to_file_many(int handle, int index, const char *path) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_setup, &m, true) != 0) {
        return -1;
    }
    return write_file(handle, path, m->setup_xml, m->setup_length);
}

int qvxml_get_values_cache_many(int handle, int index, qvxml_values **values_out,
                                qvxml_values_counts **counts_out) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_values, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, values_out) == nullptr ||
        null_checked(handle, counts_out) == nullptr) {
        return -1;
    }
    *values_out = &m->values;
    *counts_out = &m->values_counts;
    return 0;
}

int qvxml_get_setup_cache_many(int handle, int index, qvxml_setup **setup_out,
                               qvxml_setup_counts **counts_out) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_setup, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, setup_out) == nullptr || null_checked(handle, counts_out) == nullptr) {
        return -1;
    }
    *setup_out = &m->setup;
    *counts_out = &m->setup_counts;
    return 0;
}

int qvxml_get_values_cache_many_copy(int handle, int index, qvxml_values *values,
                                     qvxml_values_counts *counts) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_values, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, values) == nullptr || null_checked(handle, counts) == nullptr) {
        return -1;
    }
    parse_guard guard;
    std::memcpy(values, &m->values, sizeof *values);
    std::memcpy(counts, &m->values_counts, sizeof *counts);
    return 0;
}

int qvxml_get_setup_cache_many_copy(int handle, int index, qvxml_setup *setup,
                                    qvxml_setup_counts *counts) {
    module_record *m = nullptr;
    if (check_module(handle, index, kind_setup, &m, true) != 0) {
        return -1;
    }
    if (null_checked(handle, setup) == nullptr || null_checked(handle, counts) == nullptr) {
        return -1;
    }
    parse_guard guard;
    std::memcpy(setup, &m->setup, sizeof *setup);
    std::memcpy(counts, &m->setup_counts, sizeof *counts);
    return 0;
}

static int many_status(int handle, int index, int kind, int32_t *time_out) {
    module_record *m = module_of(handle, index);
    if (m == nullptr || null_checked(handle, time_out) == nullptr) {
        return -1;
    }
    {
        parse_guard guard;
        *time_out = kind == kind_values ? m->values.time : m->setup.time;
    }
    return check_module(handle, index, kind, &m, false);
}

int qvxml_get_values_many_status(int handle, int index, int32_t *time_out) {
    return many_status(handle, index, kind_values, time_out);
}
int qvxml_get_setup_many_status(int handle, int index, int32_t *time_out) {
    return many_status(handle, index, kind_setup, time_out);
}

} // extern "C"
