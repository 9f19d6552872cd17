// Reading an HTTP/1.0 reply: the end of its header, its status, its framing.
#include "http.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

namespace qvxml {
namespace {

constexpr int scan_start = 14; // past "HTTP/1.0 NNN " of the status line

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

// Records a code with the given system error (0: the failure has no system
// cause, whatever errno an earlier call left).
void record_cause(int handle, error_code code, int sys_errno) {
    errno = sys_errno;
    record_error(handle, code);
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
} // namespace qvxml
