/*
 * Names of the error codes the XML client library records. The numbers are
 * the rows of the public error table (qv_error_i2s) and what callers read in
 * qvxml_error_record.code: they never change. C++ only, not installed.
 */
#ifndef QVXML_ERROR_CODES_H
#define QVXML_ERROR_CODES_H

#include <stdint.h>

namespace qvxml {

enum class error_code : int32_t {
    none = 0,
    action_not_finished = 1,
    action_not_valid = 2,
    index_not_found = 3,
    index_not_valid = 4,
    no_memory = 5,
    file_open = 6,
    file_write = 7,
    file_read = 8,
    file_close = 9,
    file_not_found = 10,
    file_not_valid = 11,
    file_too_large = 12,
    ip_not_valid = 13,
    address_not_found = 14,
    address_in_use = 15,
    id_not_found = 16,
    id_in_use = 17,
    id_out_of_range = 18,
    timeout = 19,
    semaphore_init = 20,
    semaphore_post = 21,
    semaphore_wait = 22,
    mutex_init = 23,
    mutex_lock = 24,
    mutex_unlock = 25,
    socket_init = 26,
    socket_create = 27,
    socket_connect = 28,
    socket_nonblock = 29,
    socket_wait_write = 30,
    socket_wait_read = 31,
    socket_wait = 32,
    socket_wait_timeout = 33,
    receive = 34,
    send = 35,
    thread0_not_ended = 36,
    thread0_create = 37,
    thread_create = 38,
    thread_not_ended = 39,
    thread_not_running = 40,
    too_many_modules = 41,
    password_too_long = 42,
    user_too_long = 43,
    parser_create = 44,
    xml_not_valid = 45,
    http_not_found = 46,
    http_first_client_error = 47, // 400 Bad Request; 400..417 follow in order
    http_last_client_error = 64,  // 417 Expectation Failed
    http_first_server_error = 65, // 500 Internal Server Error; 500..505 follow
    http_last_server_error = 70,  // 505 HTTP Version Not Supported
    http_unknown = 71,
    number_out_of_range = 72,
    unknown_value = 73,
    no_data = 74,
    buffer_full = 75,
    checksum = 76,
    page_memory = 77,
    buffer_memory = 78,
    authorization = 79,
    library_in_use = 80,
    too_long = 81,
    socket_reuseaddr = 82,
    socket_sndbuf = 83,
    socket_maxseg = 84,
    null_pointer = 85,
    server_create = 86,
    client_connect = 87,
    socket_linger = 88,
    resolve = 89,
};

// Rows of the table: codes 0 to error_code_count - 1.
constexpr int error_code_count = 90;

constexpr int32_t number_of(error_code code) {
    return static_cast<int32_t>(code);
}

} // namespace qvxml

#endif
