// HTTP/1.0 exchanges with a device's web server.
#include "http.h"

#include "net.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace qvxml {
namespace {

constexpr int connect_rounds = 5;
constexpr int send_rounds = 5;
constexpr int receive_rounds = 10;
constexpr int chunk_size = 1024;

// Waits in rounds of one second, reading the handle's state after each round
// so that a close is noticed within about a second. 1 ready, 0 timed out,
// result_closed.
int wait_ready(int handle, qv_socket_t sock, bool write, int rounds) {
    slot &s = slot_at(handle);
    for (int round = 0; round < rounds; ++round) {
        const int ready = net::wait_round(sock, write, 1);
        if (s.state.load() == 0) {
            return result_closed;
        }
        if (ready > 0) {
            return 1;
        }
    }
    return 0;
}

void report_connect_error(const endpoint &e) {
    qvxml_callbacks callbacks;
    void *user_data = nullptr;
    slot_callbacks(e.handle, &callbacks, &user_data);
    if (callbacks.connect_error != nullptr) {
        qvxml_error_record record;
        slot &s = slot_at(e.handle);
        copy_error(e.handle, &record, &s.error);
        callbacks.connect_error(e.handle, user_data, e.module_index, &record);
    }
}

} // namespace
int http_connect(const endpoint &e) {
    slot &s = slot_at(e.handle);
    if (qv_socket_startup() != 0) {
        record_error(e.handle, error_code::socket_init);
        report_connect_error(e);
        return -1;
    }
    if (e.host != nullptr && e.host[0] != '\0') {
        char resolved[ip_size] = {};
        const int found = net::resolve_host(e.host, resolved);
        {
            slot_lock lock(s);
            std::memcpy(e.ip, resolved, ip_size);
        }
        if (found != 0) {
            record_error(e.handle, error_code::resolve);
            report_connect_error(e);
            return -1;
        }
    }
    const qv_socket_t sock = net::tcp_socket();
    if (sock == QV_INVALID_SOCKET) {
        record_error(e.handle, error_code::socket_create);
        report_connect_error(e);
        return -1;
    }
    s.socket = sock;
    error_code code = error_code::none;
    if (qv_socket_nonblock(sock) != 0) {
        code = error_code::socket_nonblock;
    } else if (net::connect_start(sock, e.ip, e.port) != 0) {
        code = error_code::socket_connect;
    } else {
        const int ready = wait_ready(e.handle, sock, true, connect_rounds);
        if (ready == result_closed) {
            return result_closed;
        }
        if (ready == 0) {
            errno = ETIMEDOUT;
            code = error_code::socket_connect;
        } else if (net::peer_connected(sock) != 0) {
            code = error_code::socket_connect;
        }
    }
    if (code != error_code::none) {
        record_error(e.handle, code);
        http_close(e.handle);
        report_connect_error(e);
        return -1;
    }
    qvxml_callbacks callbacks;
    void *user_data = nullptr;
    slot_callbacks(e.handle, &callbacks, &user_data);
    if (callbacks.connected != nullptr) {
        callbacks.connected(e.handle, user_data, e.module_index);
    }
    return 0;
}

int http_send(int handle, const char *text, size_t length) {
    slot &s = slot_at(handle);
    size_t sent = 0;
    // A short send is followed by another one until everything is out; each
    // wait is bounded, so a peer that stops reading ends the send.
    while (sent < length) {
        const int ready = wait_ready(handle, s.socket, true, send_rounds);
        if (ready == result_closed) {
            return result_closed;
        }
        if (ready == 0) {
            record_cause(handle, error_code::socket_wait_write, ETIMEDOUT);
            return -1;
        }
        const long n = net::send_some(s.socket, text + sent, length - sent);
        if (n == -1) {
            record_error(handle, error_code::send);
            return -1;
        }
        if (n > 0) {
            sent += static_cast<size_t>(n);
        }
    }
    return 0;
}
int http_receive(int handle, char *buffer, int32_t *length) {
    slot &s = slot_at(handle);
    const int32_t capacity = *length;
    *length = 0;
    buffer[0] = '\0';
    header_scan scan;
    reply_framing framing;
    bool received = false;
    char chunk[chunk_size];
    for (;;) {
        // A device that keeps the connection open after an announced length
        // is not waited for.
        const bool complete = scan.found && framing.content_length >= 0 && !framing.chunked &&
                              *length >= framing.content_length;
        const int ready = complete ? 0 : wait_ready(handle, s.socket, false, receive_rounds);
        if (ready == result_closed) {
            return result_closed;
        }
        if (ready == 0) {
            // Silence ends the reply; a device that never said anything did
            // not answer in time.
            if (!received) {
                record_cause(handle, error_code::timeout, 0);
                return -1;
            }
            return finish_reply(handle, framing, scan.found, buffer, length, false);
        }
        const long n = net::receive_some(s.socket, chunk, sizeof chunk);
        if (n == -2) {
            continue;
        }
        if (n == 0) {
            if (!received) {
                record_cause(handle, error_code::receive, 0); // closed without a word
                return -1;
            }
            return finish_reply(handle, framing, scan.found, buffer, length, true);
        }
        if (n < 0) {
            record_error(handle, error_code::receive);
            return -1;
        }
        received = true;
        const char *keep = chunk;
        long keep_length = n;
        if (!scan.found) {
            const long body = http_header_end(handle, scan, chunk, n);
            if (body < 0) {
                *length = 0;
                buffer[0] = '\0';
                return -1;
            }
            if (scan.found) {
                // Everything stored so far was header.
                std::string header(buffer, static_cast<size_t>(*length));
                header.append(chunk, static_cast<size_t>(body));
                read_framing(header, framing);
                *length = 0;
                keep = chunk + body;
                keep_length = n - body;
            }
        }
        if (static_cast<long>(*length) + keep_length >= capacity) {
            record_error(handle, error_code::file_too_large);
            return -1;
        }
        std::memcpy(buffer + *length, keep, static_cast<size_t>(keep_length));
        *length += static_cast<int32_t>(keep_length);
        buffer[*length] = '\0';
    }
}
void http_close(int handle) {
    slot &s = slot_at(handle);
    if (s.socket != QV_INVALID_SOCKET) {
        qv_socket_close(s.socket);
        s.socket = QV_INVALID_SOCKET;
    }
}
int http_exchange(const endpoint &e, const char *request, size_t request_length, char *buffer,
                  int32_t *length) {
    slot &s = slot_at(e.handle);
    if (s.state.load() == 0) {
        return result_closed;
    }
    int result = http_connect(e);
    if (result != 0) {
        return result;
    }
    result = http_send(e.handle, request, request_length);
    if (result == 0) {
        result = http_receive(e.handle, buffer, length);
    }
    if (result == result_closed) {
        return result_closed;
    }
    http_close(e.handle);
    return result;
}

} // namespace qvxml
