// The table of handle slots and the accessors the document model uses.
#include "core.h"

#include <cstdlib>
#include <cstring>

namespace qvxml {
namespace {

slot *make_table() {
    // Never freed: workers detached by qvxml_close_for_callback may still be
    // unwinding when the process ends, and the mutexes stay usable for every
    // thread that reads an error record.
    static slot table[slot_count];
    for (slot &s : table) {
        qv_thread_mutex_init(&s.mutex);
        s.state.store(0);
        s.socket = QV_INVALID_SOCKET;
        s.module_count = -1;
    }
    return table;
}

} // namespace

slot &slot_at(int handle) {
    static slot *const table = make_table();
    return table[handle];
}

slot *checked_slot(int handle) {
    if (!handle_valid(handle)) {
        record_error(0, error_code::id_out_of_range);
        return nullptr;
    }
    return &slot_at(handle);
}

slot *running_slot(int handle) {
    slot *s = checked_slot(handle);
    if (s != nullptr && s->state.load() != 1) {
        record_error(handle, error_code::thread_not_running);
        return nullptr;
    }
    return s;
}

module_record *module_of(int handle, int index) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return nullptr;
    }
    if (index < 0 || index >= s->module_count || s->modules[index] == nullptr) {
        record_error(handle, error_code::index_not_valid);
        return nullptr;
    }
    return s->modules[index];
}

void copy_text(char *destination, const char *source, size_t size) {
    const size_t n = source == nullptr ? 0 : strnlen(source, size - 1);
    std::memset(destination, 0, size);
    if (n != 0) {
        std::memcpy(destination, source, n);
    }
}

parse_results *slot_results(int handle) {
    if (handle < 0 || handle >= slot_count) {
        return nullptr;
    }
    return &slot_at(handle).results;
}

void slot_free_results(int handle) {
    parse_results *r = slot_results(handle);
    if (r == nullptr) {
        return;
    }
    parse_lock();
    std::free(r->values);
    std::free(r->values_counts);
    std::free(r->setup);
    std::free(r->setup_counts);
    *r = parse_results{};
    parse_unlock();
}

void slot_callbacks(int handle, qvxml_callbacks *out, void **user_data_out) {
    if (handle < 0 || handle >= slot_count) {
        std::memset(out, 0, sizeof *out);
        *user_data_out = nullptr;
        return;
    }
    slot &s = slot_at(handle);
    slot_lock lock(s);
    *out = s.options.callbacks;
    *user_data_out = s.user_data;
}

namespace {
// Kept apart from slot 0's record lock so that a long parse never holds up
// callers that record or read the library-wide error, and so that the lock
// order (parse lock before any slot mutex) cannot be inverted.
qv_thread_mutex *parse_mutex() {
    static qv_thread_mutex m;
    static const bool ready = (qv_thread_mutex_init(&m), true);
    (void)ready;
    return &m;
}
} // namespace

void parse_lock() {
    qv_thread_mutex_lock(parse_mutex());
}
void parse_unlock() {
    qv_thread_mutex_unlock(parse_mutex());
}

} // namespace qvxml
