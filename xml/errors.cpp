// Error table, error records and the functions that read and print them.
#include "core.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qvxml {
namespace {

struct error_row {
    int code;
    const char *message;
};

// The row's position equals its code.
constexpr error_row error_table[] = {
    {0, "NULL"},
    {1, "Action not finish"},
    {2, "Action not valid"},
    {3, "Index not found"},
    {4, "Index not valid"},
    {5, "Memory not found"},
    {6, "File open failure"},
    {7, "File write failure"},
    {8, "File read failure"},
    {9, "File close failure"},
    {10, "File not found"},
    {11, "File not valid"},
    {12, "File size >= buffer_size_max"},
    {13, "IP not valid"},
    {14, "IP:PORT not found"},
    {15, "IP:PORT already use"},
    {16, "ID not found"},
    {17, "ID already use"},
    {18, "ID >= QVXML_ID_COUNT_MAX"},
    {19, "Timeout"},
    {20, "Semaphore init failed"},
    {21, "Semaphore post failed"},
    {22, "Semaphore wait failed"},
    {23, "Mutex init failed"},
    {24, "Mutex lock failed"},
    {25, "Mutex unlock failed"},
    {26, "Socket init failed"},
    {27, "Socket create failed"},
    {28, "Socket connect failure"},
    {29, "Socket nonblock setup failed"},
    {30, "Socket select write failure"},
    {31, "Socket select read failure"},
    {32, "Socket select failure"},
    {33, "Socket select timeout"},
    {34, "Recv failed"},
    {35, "Send failed"},
    {36, "Thread 0 not exit"},
    {37, "Thread 0 creation failed"},
    {38, "Thread creation failed"},
    {39, "Thread not exit"},
    {40, "Thread not run"},
    {41, "Count modules = QV*_MODULES_MAX"},
    {42, "p_password >= AUTHENTICATE_MAX"},
    {43, "p_user >= AUTHENTICATE_MAX"},
    {44, "Create XML parser failure"},
    {45, "XML file not valid"},
    {46, "HTTP not found"},
    {47, "HTTP: Bad Request"},
    {48, "HTTP: Unauthorized"},
    {49, "HTTP: Payment Required"},
    {50, "HTTP: Forbidden"},
    {51, "HTTP: Not Found"},
    {52, "HTTP: Method Not Allowed"},
    {53, "HTTP: Not Acceptable"},
    {54, "HTTP: Proxy Authentication Required"},
    {55, "HTTP: Request Timeout"},
    {56, "HTTP: Conflict"},
    {57, "HTTP: Gone"},
    {58, "HTTP: Length Required"},
    {59, "HTTP: Precondition Failed"},
    {60, "HTTP: Request Entity Too Large"},
    {61, "HTTP: Request-URI Too Long"},
    {62, "HTTP: Unsupported Media Type"},
    {63, "HTTP: Requested Range Not Satisfiable"},
    {64, "HTTP: Expectation Failed"},
    {65, "HTTP: Internal Server Error"},
    {66, "HTTP: Not Implemented"},
    {67, "HTTP: Bad Gateway"},
    {68, "HTTP: Service Unavailable"},
    {69, "HTTP: Gateway Timeout"},
    {70, "HTTP Version Not Supported"},
    {71, "HTTP unknown"},
    {72, "Number not in range"},
    {73, "Unknown value"},
    {74, "No data"},
    {75, "Buffer is full"},
    {76, "Checksum is failure"},
    {77, "Memory for page not alloc"},
    {78, "Memory for buffer not alloc"},
    {79, "TEA authorization failure"},
    {80, "Modul use more somewhere"},
    {81, "Length > LENGTH_MAX"},
    {82, "Socket reuseaddr setup failed"},
    {83, "Socket sndbuf setup failed"},
    {84, "Socket maxseg setup failed"},
    {85, "Assert: Pointer is NULL"},
    {86, "Server create failed"},
    {87, "Client connect failed"},
    {88, "Socket linger setup failed"},
    {89, "Resolve address failed"},
};
constexpr int error_rows = static_cast<int>(sizeof error_table / sizeof error_table[0]);
static_assert(error_rows == error_code_count);

void copy_text(char *destination, const char *source, size_t size) {
    std::memset(destination, 0, size);
    std::memcpy(destination, source, strnlen(source, size - 1));
}

// The table message of a code, "NULL" for a number outside the table.
const char *error_message(int32_t code) {
    return (code >= 0 && code < error_rows) ? error_table[code].message : error_table[0].message;
}

// Codes recorded only after a call to the system failed; every other code
// (HTTP statuses, parse and length errors, time-outs) has no system cause,
// and whatever errno an earlier, unrelated call left must not be shown
// beside it.
bool has_system_cause(error_code code) {
    switch (code) {
    case error_code::file_open:
    case error_code::file_write:
    case error_code::file_read:
    case error_code::file_close:
    case error_code::file_not_found:
    case error_code::semaphore_init:
    case error_code::semaphore_post:
    case error_code::semaphore_wait:
    case error_code::mutex_init:
    case error_code::mutex_lock:
    case error_code::mutex_unlock:
    case error_code::socket_init:
    case error_code::socket_create:
    case error_code::socket_connect:
    case error_code::socket_nonblock:
    case error_code::socket_wait_write:
    case error_code::socket_wait_read:
    case error_code::socket_wait:
    case error_code::receive:
    case error_code::send:
    case error_code::thread0_create:
    case error_code::thread_create:
    case error_code::page_memory:
    case error_code::buffer_memory:
    case error_code::socket_reuseaddr:
    case error_code::socket_sndbuf:
    case error_code::socket_maxseg:
    case error_code::server_create:
    case error_code::client_connect:
    case error_code::socket_linger:
        return true;
    default:
        return false;
    }
}

void fill_error(qvxml_error_record *record, error_code code) {
    const int entry = errno;
    const int saved = has_system_cause(code) ? entry : 0;
    char buffer[QVXML_ERROR_TEXT_MAX] = {};
    // strerror is not thread-safe; the GNU strerror_r may return a static text
    // instead of filling the buffer.
#if defined(_WIN32)
    strerror_s(buffer, sizeof buffer, saved);
    const char *sys = buffer;
#elif defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char *sys = strerror_r(saved, buffer, sizeof buffer);
#else
    const char *sys = strerror_r(saved, buffer, sizeof buffer) == 0 ? buffer : "";
#endif
    record->sys_errno = saved;
    record->code = number_of(code);
    copy_text(record->sys_text, saved != 0 ? sys : "", sizeof record->sys_text);
    copy_text(record->text, error_message(number_of(code)), sizeof record->text);
    errno = entry;
}

} // namespace

void record_error(int handle, error_code code) {
    const int saved = errno;
    if (handle < 0 || handle >= slot_count) {
        handle = 0;
    }
    slot &s = slot_at(handle);
    qvxml_error_record record;
    fill_error(&record, code);
    {
        slot_lock lock(s);
        s.error = record;
    }
    errno = saved;
}

void record_success(int handle) {
    const int saved = errno;
    errno = 0;
    record_error(handle, error_code::none);
    errno = saved;
}

void copy_error(int handle, qvxml_error_record *destination, const qvxml_error_record *source) {
    if (handle < 0 || handle >= slot_count) {
        handle = 0;
    }
    slot_lock lock(slot_at(handle));
    std::memcpy(destination, source, sizeof *destination);
}

} // namespace qvxml

using namespace qvxml;

extern "C" {

void qv_error_i2s(int code, char *text_out) {
    if (text_out == nullptr) {
        return;
    }
    const char *message = error_message(code);
    std::memcpy(text_out, message, std::strlen(message) + 1);
}

int qvxml_error(int handle, qvxml_error_record *record_out) {
    if (handle < 0 || handle >= slot_count) {
        record_error(0, error_code::id_out_of_range);
        return -1;
    }
    if (record_out == nullptr) {
        record_error(handle, error_code::null_pointer);
        return -1;
    }
    slot &s = slot_at(handle);
    copy_error(handle, record_out, &s.error);
    return 0;
}

void qvxml_error_print(int handle) {
    qvxml_error_record record = {};
    if (qvxml_error(handle, &record) != 0) {
        qvxml_error(0, &record);
    }
    std::printf("%s (%i): %s (%i)\n", record.text, record.code, record.sys_text, record.sys_errno);
}

} // extern "C"
