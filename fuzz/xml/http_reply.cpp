// A device's HTTP reply, received in chunks of whatever size the network
// delivers: the header end must be found the same way however the reply is
// cut, error statuses must refuse the reply, and the stored body must be
// exactly the bytes after the header (as many as a Content-Length announced,
// or the decoded data of a chunked body), within the buffer.
#include "http.h"
#include "require.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

constexpr int handle = 2;

struct scan_result {
    long body = -1; // absolute offset of the first body byte, -1 none
    bool refused = false;
};

// Feeds the reply in chunks whose sizes follow `seed` (0: one chunk).
scan_result scan(const char *reply, long length, unsigned seed) {
    qvxml::header_scan s;
    scan_result r;
    long pos = 0;
    while (pos < length) {
        long n = length - pos;
        if (seed != 0) {
            seed = seed * 1103515245u + 12345u;
            n = std::min<long>(n, 1 + static_cast<long>((seed >> 16) % 40));
        }
        const long off = qvxml::http_header_end(handle, s, reply + pos, n);
        if (off < 0) {
            r.refused = true;
            return r;
        }
        FUZZ_REQUIRE(off <= n);
        if (s.found) {
            r.body = pos + off;
            return r;
        }
        pos += n;
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const unsigned seed = data[0] | 1u;
    const char *reply = reinterpret_cast<const char *>(data + 1);
    const long length = static_cast<long>(size - 1);

    const scan_result whole = scan(reply, length, 0);
    const scan_result pieces = scan(reply, length, seed);
    FUZZ_REQUIRE(whole.refused == pieces.refused);
    FUZZ_REQUIRE(whole.body == pieces.body);

    // The same reply through a real socket into a document buffer.
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
        return 0;
    long written = 0;
    while (written < length) {
        const ssize_t n = write(sv[1], reply + written, static_cast<size_t>(length - written));
        if (n <= 0)
            break;
        written += n;
    }
    shutdown(sv[1], SHUT_WR);
    qvxml::slot &s = qvxml::slot_at(handle);
    s.state.store(1);
    s.socket = sv[0];
    static char buffer[qvxml::buffer_size];
    int32_t stored = qvxml::buffer_size;
    const int rc = qvxml::http_receive(handle, buffer, &stored);
    s.socket = QV_INVALID_SOCKET;
    close(sv[0]);
    close(sv[1]);
    if (written != length)
        return 0;

    const long body_start = whole.body < 0 ? 0 : whole.body;
    const long body_length = length - body_start;
    if (length == 0 || whole.refused || body_length >= qvxml::buffer_size) {
        FUZZ_REQUIRE(rc == -1); // a device that said nothing did not answer
        return 0;
    }
    // Until its end is seen a header is stored like body, so a header close
    // to the buffer's size may be refused (12) depending on the chunks.
    if (body_start + 1024 >= qvxml::buffer_size && rc == -1)
        return 0;
    qvxml::reply_framing framing;
    if (whole.body >= 0)
        qvxml::read_framing(std::string_view(reply, static_cast<size_t>(whole.body)), framing);
    if (framing.chunked) {
        // Decoded or refused; the data is never longer than its framing.
        FUZZ_REQUIRE(rc == -1 || (stored < body_length && buffer[stored] == '\0'));
        return 0;
    }
    if (framing.content_length == -2 ||
        (framing.content_length >= 0 && body_length < framing.content_length)) {
        FUZZ_REQUIRE(rc == -1); // not the whole document
        return 0;
    }
    const long expected =
        framing.content_length >= 0 ? static_cast<long>(framing.content_length) : body_length;
    FUZZ_REQUIRE(rc == 0);
    FUZZ_REQUIRE(stored == expected);
    FUZZ_REQUIRE(buffer[stored] == '\0');
    FUZZ_REQUIRE(std::memcmp(buffer, reply + body_start, static_cast<size_t>(stored)) == 0);
    return 0;
}
