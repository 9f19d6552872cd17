// HTTP/1.0 requests to a device's web server.
#include "http.h"

#include "net.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace qvxml {
namespace {

constexpr int connect_rounds = 5;
constexpr int send_rounds = 5;
constexpr int receive_rounds = 10;
constexpr int chunk_size = 1024;
constexpr int scan_start = 14; // past "HTTP/1.0 NNN " of the status line

constexpr char values_request[] = "GET /values.xml HTTP/1.0\r\n\r\n";

// Records a code with the given system error (0: the failure has no system
// cause, whatever errno an earlier call left).
void record_cause(int handle, error_code code, int sys_errno) {
    errno = sys_errno;
    record_error(handle, code);
}

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

int base64_encode(const void *data, size_t length, char *out, size_t out_capacity) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t needed = 4 * ((length + 2) / 3);
    if (out == nullptr || needed + 1 > out_capacity) {
        return -1;
    }
    const auto *in = static_cast<const unsigned char *>(data);
    size_t o = 0;
    for (size_t i = 0; i < length; i += 3) {
        const unsigned b0 = in[i];
        const unsigned b1 = i + 1 < length ? in[i + 1] : 0;
        const unsigned b2 = i + 2 < length ? in[i + 2] : 0;
        const unsigned triple = (b0 << 16) | (b1 << 8) | b2;
        out[o++] = alphabet[(triple >> 18) & 0x3f];
        out[o++] = alphabet[(triple >> 12) & 0x3f];
        out[o++] = i + 1 < length ? alphabet[(triple >> 6) & 0x3f] : '=';
        out[o++] = i + 2 < length ? alphabet[triple & 0x3f] : '=';
    }
    out[o] = '\0';
    return static_cast<int>(o);
}

int http_authorization(const char *user, const char *password, char *out, size_t capacity) {
    if (capacity == 0) {
        return -1;
    }
    out[0] = '\0';
    char u[QVXML_AUTHENTICATE_MAX];
    char p[QVXML_AUTHENTICATE_MAX];
    copy_text(u, user, sizeof u);
    copy_text(p, password, sizeof p);
    if (u[0] == '\0') {
        return 0;
    }
    char pair[200] = {};
    const int pair_length = std::snprintf(pair, sizeof pair, "%s:%s", u, p);
    char encoded[300] = {};
    if (pair_length < 0 ||
        base64_encode(pair, static_cast<size_t>(pair_length), encoded, sizeof encoded) < 0) {
        return -1;
    }
    const int n = std::snprintf(out, capacity, "Authorization: Basic %s\r\n", encoded);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

error_code http_status_error(int status) {
    if (status >= 400 && status <= 417) {
        return static_cast<error_code>(number_of(error_code::http_first_client_error) +
                                       (status - 400));
    }
    if (status >= 500 && status <= 505) {
        return static_cast<error_code>(number_of(error_code::http_first_server_error) +
                                       (status - 500));
    }
    return error_code::none;
}

long http_header_end(int handle, header_scan &scan, const char *chunk, long length) {
    // Keep the start of the reply for the status line, whichever chunk it came in.
    for (long i = 0; i < length && scan.start_length < static_cast<int>(sizeof scan.start) - 1;
         ++i) {
        scan.start[scan.start_length++] = chunk[i];
    }
    long body = -1;
    for (long i = 0; i < length; ++i) {
        if (scan.seen + i < scan_start) {
            continue;
        }
        const char c = chunk[i];
        switch (scan.state) {
        case 0:
            scan.state = c == '\r' ? 1 : 0;
            break;
        case 1:
            scan.state = c == '\n' ? 2 : 0;
            break;
        case 2:
            scan.state = c == '\r' ? 3 : 0;
            break;
        default:
            scan.state = c == '\n' ? 4 : 0;
            break;
        }
        if (scan.state == 4) {
            body = i + 1;
            break;
        }
    }
    scan.seen += length;
    if (body < 0) {
        return 0;
    }
    scan.found = true;
    // The status code is the number after the protocol word of the first line.
    int status = 0;
    if (std::strncmp(scan.start, "HTTP/", 5) == 0) {
        // Only within the status line: a blank further on belongs to a header
        // or the body, and how much of those came with it depends on the chunks.
        const size_t line = std::strcspn(scan.start, "\r\n");
        const char *p = static_cast<const char *>(std::memchr(scan.start, ' ', line));
        if (p != nullptr) {
            while (*p == ' ') {
                ++p;
            }
            int digits = 0;
            while (digits < 3 && p[digits] >= '0' && p[digits] <= '9') {
                status = status * 10 + (p[digits] - '0');
                ++digits;
            }
            if (digits != 3) {
                status = 0;
            }
        }
    }
    const error_code code = http_status_error(status);
    if (code != error_code::none) {
        record_error(handle, code);
        return -1;
    }
    return body;
}

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

namespace {

bool header_is(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) {
            return false;
        }
    }
    return true;
}

std::string_view header_value(std::string_view line, size_t name_length) {
    std::string_view v = line.substr(name_length + 1);
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) {
        v.remove_prefix(1);
    }
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) {
        v.remove_suffix(1);
    }
    return v;
}

// Replaces a chunked body by its data, in place. false when it is not a
// complete, correctly framed chunked body.
bool decode_chunked(char *body, int32_t *length) {
    const std::string_view in(body, static_cast<size_t>(*length));
    size_t read = 0;
    size_t write = 0;
    for (;;) {
        const size_t line_end = in.find("\r\n", read);
        if (line_end == std::string_view::npos) {
            return false;
        }
        const std::string_view size_text = in.substr(read, line_end - read);
        size_t size = 0;
        const auto [end, ec] =
            std::from_chars(size_text.data(), size_text.data() + size_text.size(), size, 16);
        if (ec != std::errc() || end == size_text.data() ||
            (end != size_text.data() + size_text.size() && *end != ';' && *end != ' ')) {
            return false;
        }
        read = line_end + 2;
        if (size == 0) {
            break; // trailers, if any, are not looked at
        }
        if (size > in.size() - read || in.substr(read + size, 2) != "\r\n") {
            return false;
        }
        std::memmove(body + write, body + read, size);
        write += size;
        read += size + 2;
    }
    *length = static_cast<int32_t>(write);
    body[write] = '\0';
    return true;
}

} // namespace

void read_framing(std::string_view header, reply_framing &framing) {
    size_t from = header.find('\n');
    while (from != std::string_view::npos && from + 1 < header.size()) {
        const size_t to = header.find('\n', from + 1);
        const std::string_view line =
            header.substr(from + 1, to == std::string_view::npos ? to : to - from - 1);
        if (header_is(line, "content-length")) {
            const std::string_view v = header_value(line, 14);
            long long n = -1;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            framing.content_length = ec == std::errc() && end == v.data() + v.size() ? n : -2;
        } else if (header_is(line, "transfer-encoding")) {
            framing.chunked = header_value(line, 17) != "identity";
        }
        from = to;
    }
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

// A reply is a document only when the whole of it arrived: as many bytes as
// its Content-Length announced, or a complete chunked body (decoded here).
int finish_reply(int handle, const reply_framing &framing, bool header_found, char *buffer,
                 int32_t *length, bool closed) {
    if (!header_found) {
        return 0; // no header: the whole reply is the body
    }
    if (framing.chunked) {
        if (!decode_chunked(buffer, length)) {
            record_cause(handle, closed ? error_code::receive : error_code::timeout, 0);
            return -1;
        }
        return 0;
    }
    if (framing.content_length == -2) {
        record_cause(handle, error_code::receive, 0);
        return -1;
    }
    if (framing.content_length >= 0) {
        if (*length < framing.content_length) {
            record_cause(handle, closed ? error_code::receive : error_code::timeout, 0);
            return -1;
        }
        *length = static_cast<int32_t>(framing.content_length);
        buffer[*length] = '\0';
    }
    return 0;
}

void http_close(int handle) {
    slot &s = slot_at(handle);
    if (s.socket != QV_INVALID_SOCKET) {
        qv_socket_close(s.socket);
        s.socket = QV_INVALID_SOCKET;
    }
}

int http_get_request(int handle, int kind, const qvxml_options &options, char *out,
                     size_t capacity) {
    if (kind == kind_values) {
        std::snprintf(out, capacity, "%s", values_request);
        return 0;
    }
    char authorization[400] = {};
    if (http_authorization(options.get_user, options.get_password, authorization,
                           sizeof authorization) != 0) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    const int n = std::snprintf(out, capacity, "GET /setup.xml HTTP/1.0\r\n%s\r\n", authorization);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    return 0;
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
