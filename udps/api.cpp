#include "state.h"
#include "tea.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace qvudps {

Library &library() {
    // Deliberately leaked: the worker may still run while the process exits.
    static Library *lib = [] {
        auto *l = new Library(); // value-initialised: the table starts zeroed
        qv_thread_mutex_init(&l->lock);
        return l;
    }();
    return *lib;
}

Guard::Guard() {
    if (qv_thread_mutex_lock(&library().lock) != 0)
        std::snprintf(library().last_error.message, sizeof library().last_error.message, "%s",
                      "Mutex lock failed");
}

Guard::~Guard() {
    if (qv_thread_mutex_unlock(&library().lock) != 0)
        std::snprintf(library().last_error.message, sizeof library().last_error.message, "%s",
                      "Mutex unlock failed");
}

void set_step_error(const char *message, int code) {
    const std::string detail = std::generic_category().message(code);
    Guard g;
    qvudps_error_info &e = library().last_error;
    e.code = code;
    e.reserved = 0;
    std::snprintf(e.detail, sizeof e.detail, "%s", detail.c_str());
    std::snprintf(e.message, sizeof e.message, "%s", message);
}

void set_refusal(const char *message) {
    Guard g;
    qvudps_error_info &e = library().last_error;
    e.code = 0;
    e.reserved = 0;
    e.detail[0] = '\0';
    std::snprintf(e.message, sizeof e.message, "%s", message);
}

namespace {

void worker_entry() {
    worker_main();
}

// Wakes the worker; the caller holds the lock.
int wake_worker(Library &l) {
    if (l.wake_outstanding)
        return 0;
    if (qv_sem_post(&l.wake) != 0) {
        set_step_error("Semaphore post failed", errno);
        return -1;
    }
    l.wake_outstanding = true;
    return 0;
}

// A request needs a running worker that is waiting for work.
bool worker_accepts(const Library &l) {
    return l.initialized && !l.quit && l.idle;
}

// A search or setup starts when the worker takes requests (`accepted`) and
// the previous one of its kind is done; else the refusal says which.
bool may_start(bool accepted, bool previous_done, const char *busy) {
    if (!accepted) {
        set_refusal("Action not success");
        return false;
    }
    if (!previous_done) {
        set_refusal(busy);
        return false;
    }
    return true;
}

} // namespace

} // namespace qvudps

using namespace qvudps;

extern "C" {

int qvudps_init(void) {
    Library &l = library();
    Guard g;
    if (l.initialized) {
        set_refusal("Init already run");
        return -1;
    }
    if (l.thread) {
        qv_thread_close(l.thread);
        l.thread = nullptr;
    }
    if (qv_sem_init(&l.wake) != 0) {
        set_step_error("Semaphore init failed", errno);
        return -1;
    }
    l.wake_ready = true;
    l.wake_outstanding = false;
    l.hooks = qvudps_callbacks{};
    l.quit = false;
    l.idle = true;
    l.search_done = true;
    l.setup_done = true;
    l.search_pending = false;
    l.setup_pending = false;
    l.search_context = nullptr;
    l.setup_context = nullptr;
    l.cursor = 0;
    // The worker's first act needs the lock, so it sees this state complete.
    qv_thread_t t = qv_thread_create(worker_entry);
    if (qv_thread_valid(t) != 0) {
        qvudps_error_info &e = l.last_error;
        std::snprintf(e.message, sizeof e.message, "%s", "Thread create failed");
        e.detail[0] = '\0';
        qv_sem_destroy(&l.wake);
        l.wake_ready = false;
        return -1;
    }
    l.thread = t;
    l.search_key = builtin_search_key;
    l.initialized = true;
    return 0;
}

int qvudps_uninit(void) {
    Library &l = library();
    Guard g;
    if (!l.initialized || l.quit)
        return 0;
    l.cursor = 0;
    l.search_pending = false;
    l.setup_pending = false;
    l.setup_done = true;
    l.idle = true;
    l.search_context = nullptr;
    l.setup_context = nullptr;
    l.quit = true;
    wake_worker(l);
    // Nobody waits for the worker: it ends by itself, detached.
    qv_thread_close(l.thread);
    l.thread = nullptr;
    return 0;
}

int qvudps_search(int name_lookup, void *context) {
    Library &l = library();
    Guard g;
    if (!may_start(worker_accepts(l), l.search_done, "Search already run"))
        return -1;
    l.name_lookup = name_lookup;
    l.search_known.clear();
    l.search_known.swap(l.known_names);
    l.cursor = 0;
    l.count = 0;
    l.dropped = 0;
    l.search_done = false;
    l.search_pending = true;
    l.search_context = context;
    return wake_worker(l);
}

int qvudps_search_finish(void) {
    Guard g;
    return library().search_done ? 0 : -1;
}

int qvudps_count(void) {
    return library().count.load();
}

namespace {

// The next record index, or -1 after the last one.
int take_cursor() {
    Library &l = library();
    int at = l.cursor.load();
    do {
        if (at < 0 || at >= l.count.load())
            return -1;
    } while (!l.cursor.compare_exchange_weak(at, at + 1));
    return at;
}

} // namespace

int qvudps_record(qvudps_module **out) {
    if (!out)
        return -1;
    const int at = take_cursor();
    if (at < 0)
        return -1;
    *out = &library().records[at];
    return 0;
}

int qvudps_record_copy(qvudps_module *dst) {
    if (!dst)
        return -1;
    const int at = take_cursor();
    if (at < 0)
        return -1;
    std::memcpy(dst, &library().records[at], sizeof *dst);
    return 0;
}

int qvudps_rewind(void) {
    library().cursor = 0;
    return 0;
}

int qvudps_set_capacity(int records) {
    Library &l = library();
    Guard g;
    if (records < min_capacity || records > max_capacity) {
        set_refusal("Capacity out of range");
        return -1;
    }
    // A worker asked to end may still be in a setup that reads the table.
    if (!l.idle || !l.search_done || !l.setup_done || (l.initialized && l.quit)) {
        set_refusal("Action not success");
        return -1;
    }
    try {
        std::vector<qvudps_module> table(static_cast<std::size_t>(records));
        std::vector<std::array<uint8_t, 6>> macs(static_cast<std::size_t>(records));
        l.records.swap(table);
        l.raw_macs.swap(macs);
    } catch (const std::bad_alloc &) {
        set_step_error("Capacity out of range", ENOMEM);
        return -1;
    }
    l.capacity = records;
    l.count = 0;
    l.cursor = 0;
    l.dropped = 0;
    return 0;
}

int qvudps_set_known_names(const qvudps_module *known, int count) {
    Library &l = library();
    Guard g;
    l.known_names.clear();
    if (count < 0 || count > max_capacity || (count > 0 && !known)) {
        set_refusal("Capacity out of range");
        return -1;
    }
    try {
        l.known_names.assign(known, known + count);
    } catch (const std::bad_alloc &) {
        set_step_error("Capacity out of range", ENOMEM);
        return -1;
    }
    return 0;
}

int qvudps_count_dropped(void) {
    Guard g;
    return library().dropped;
}

int qvudps_count_partial(void) {
    Guard g;
    return library().count.load();
}

int qvudps_record_partial(int index, qvudps_module *dst) {
    Library &l = library();
    Guard g;
    if (!dst || index < 0 || index >= l.count.load())
        return -1;
    std::memcpy(dst, &l.records[static_cast<std::size_t>(index)], sizeof *dst);
    return 0;
}

int qvudps_setup(const qvudps_module *settings, int name_upload, void *context) {
    Library &l = library();
    Guard g;
    if (!may_start(settings && worker_accepts(l), l.setup_done, "Setup already run"))
        return -1;
    l.name_upload = name_upload;
    l.setup_pending = true;
    l.setup_context = context;
    std::memcpy(&l.setup_request, settings, sizeof l.setup_request);
    l.setup_done = false;
    return wake_worker(l);
}

int qvudps_setup_finish(void) {
    Guard g;
    return library().setup_done ? 0 : -1;
}

int qvudps_error(qvudps_error_info *dst) {
    if (!dst)
        return -1;
    Guard g;
    *dst = library().last_error;
    return 0;
}

int qvudps_error_print(void) {
    qvudps_error_info e;
    qvudps_error(&e);
    std::printf("%s (%i): %s\n", e.message, e.code, e.detail);
    std::fflush(stdout);
    return 0;
}

int qvudps_callback(const qvudps_callbacks *hooks) {
    Guard g;
    library().hooks = hooks ? *hooks : qvudps_callbacks{};
    return 0;
}

int qvudps_clr_callback_struct(qvudps_callbacks *hooks) {
    if (hooks)
        *hooks = qvudps_callbacks{};
    return 0;
}

int qvudps_clr_ptr(void *context) {
    Library &l = library();
    Guard g;
    if (l.search_context == context)
        l.search_context = nullptr;
    if (l.setup_context == context)
        l.setup_context = nullptr;
    return 0;
}

int qvudps_set_proxy(const char *address, int port, const char *client_name) {
    if (port < 0 || port > 65535) {
        set_refusal("Proxy port not valid");
        return -1;
    }
    Library &l = library();
    Guard g;
    l.proxy = address != nullptr;
    l.proxy_address = address ? address : "";
    l.proxy_port = port;
    l.client_name = client_name ? client_name : "";
    return 0;
}

int qvudps_set_tea_keys(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3) {
    Library &l = library();
    Guard g;
    l.search_key.k0 = k0;
    l.search_key.k1 = k1;
    l.search_key.k2 = k2;
    l.search_key.k3 = k3;
    return 0;
}

int qvudps_set_setup_tea_keys(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3) {
    Library &l = library();
    Guard g;
    l.setup_key = qvudps_tea_key{k0, k1, k2, k3, tea_delta};
    return 0;
}

} // extern "C"
