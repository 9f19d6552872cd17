// The requests the transport sends: GET of a document, POST of a setup
// document, and their Basic authorization.
#include "http.h"

#include <cstdio>
#include <cstring>

namespace qvxml {
namespace {

constexpr char values_request[] = "GET /values.xml HTTP/1.0\r\n\r\n";
constexpr char post_format[] =
    "POST /setup.xml HTTP/1.0\r\n%sContent-Type: text/xml\r\nContent-Length: %i\r\n\r\n%s";

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

int http_post_request(const char *authorization, const char *document, char *out, size_t capacity) {
    const int n = std::snprintf(out, capacity, post_format, authorization,
                                static_cast<int>(std::strlen(document)), document);
    return n < 0 || static_cast<size_t>(n) >= capacity ? -1 : 0;
}

} // namespace qvxml
