/*
 * HTTP/1.0 transport of the XML client library: requests (http_request.cpp),
 * the exchange over a socket (http.cpp) and reading replies (http_reply.cpp).
 * The exchange runs only on a handle's worker thread. Results: 0 success, -1
 * failure (code recorded in the handle's record), closed (-2) when the handle
 * was closed during a wait: the worker must then end at once without touching
 * the slot any further.
 */
#ifndef QVXML_HTTP_H
#define QVXML_HTTP_H

#include "core.h"

#include <string_view>

namespace qvxml {

constexpr int result_closed = -2;

// Where one request goes: a single-device handle (module_index -1) or one
// module of a multi-device handle.
struct endpoint {
    int handle;
    int module_index;
    char *ip;         // 16 bytes; replaced by the resolution of a non-empty host
    const char *host; // name or dotted address; empty: use ip as it is
    int port;
    const qvxml_options *options; // credentials of the handle or module
};

// Progress of the search for the end of a reply's header across chunks.
struct header_scan {
    bool found = false;
    int state = 0;    // matcher state for CR LF CR LF
    long seen = 0;    // reply bytes scanned so far
    char start[64]{}; // the first bytes of the reply (the status line)
    int start_length = 0;
};

// Feeds one received chunk to the header search. Returns the offset of the
// first body byte in the chunk once the header end is found in it, 0 while
// the header goes on (the chunk is kept as it may turn out to be body),
// -1 (code recorded) when the status line carries a mapped error status.
long http_header_end(int handle, header_scan &scan, const char *chunk, long length);
// The library error code for an HTTP status, 0 when the status is accepted.
error_code http_status_error(int status);

// How a reply's body is framed, from its header lines.
struct reply_framing {
    long long content_length = -1; // -1 none, -2 not a number
    bool chunked = false;          // Transfer-Encoding other than identity
};
// `header`: the reply up to and including its empty line.
void read_framing(std::string_view header, reply_framing &framing);
// Checks the received body against its framing once the reply has ended
// (closed: by the peer, else by silence); decodes a chunked body in place.
int finish_reply(int handle, const reply_framing &framing, bool header_found, char *buffer,
                 int32_t *length, bool closed);

int http_connect(const endpoint &e);
int http_send(int handle, const char *text, size_t length);
// On entry *length is the buffer's capacity; on return the stored body bytes.
int http_receive(int handle, char *buffer, int32_t *length);
void http_close(int handle);
// The GET request of a values or setup document (with the download
// credentials) into `out`. -1 (too_long recorded) when it does not fit.
int http_get_request(int handle, int kind, const qvxml_options &options, char *out,
                     size_t capacity);
// One request and its reply: connects, sends `request`, receives the body
// into `buffer` (*length: its capacity on entry, the stored bytes on return)
// and closes. The bytes are not looked at beyond the HTTP framing.
int http_exchange(const endpoint &e, const char *request, size_t request_length, char *buffer,
                  int32_t *length);
// The POST of a setup document with an authorization line (may be empty) into
// `out`: -1 when it does not fit whole.
int http_post_request(const char *authorization, const char *document, char *out, size_t capacity);
// Records a code with the given system error (0: the failure has no system
// cause, whatever errno an earlier call left).
void record_cause(int handle, error_code code, int sys_errno);
// Builds "Authorization: Basic ...\r\n" for user:password into out; an empty
// user gives an empty text. -1 when it does not fit.
int http_authorization(const char *user, const char *password, char *out, size_t capacity);

} // namespace qvxml

#endif
