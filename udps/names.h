// Device names over HTTP: the lookup after a search (GET /values.xml, the
// text between the DeviceName tags) and the upload after a setup (a
// one-element POST /setup.xml). Runs on the worker thread; failures only
// go to the last-error record.
#ifndef UDPS_NAMES_H
#define UDPS_NAMES_H

#include "qvtext.h"
#include "qvudps.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qvudps {

// Each of connect, send and the wait for more answer data.
inline constexpr int http_step_timeout_ms = 2000;
// A whole exchange, however its peer paces the bytes: a device that sends
// one byte a second gets no more than this.
inline constexpr int http_exchange_limit_ms = 2 * http_step_timeout_ms;
inline constexpr std::size_t http_chunk = 1024;

// A message recorded while an exchange ran, replayed into the last-error
// record later so that concurrent exchanges leave the record as a serial
// run would.
struct HttpMessage {
    const char *text;
    int code;
    bool step; // step error (code and its text) or plain message (code 0)
};

// One HTTP/1.0 exchange: connect, send the request, read until the peer
// closes, the size limit or 2 s without data.
struct HttpExchange {
    std::string ip;
    uint16_t port = 0;
    std::string request;

    bool ok = false;
    std::string answer;
    std::vector<HttpMessage> messages;
};

// Runs the exchanges, at most `parallel` at a time (fewer when the process
// runs out of descriptors), on the calling thread; `finished` (may be
// empty) hears the index of each exchange as it ends.
void run_http_exchanges(std::vector<HttpExchange> &exchanges, std::size_t parallel,
                        const std::function<void(std::size_t)> &finished);
// Connections the name lookup keeps open at once: as many as the
// descriptor limit leaves room for, so that all lookups of a search share
// one deadline.
std::size_t name_connections();
// Writes an exchange's messages to the last-error record, in order.
void replay_messages(const HttpExchange &x);

inline constexpr char lookup_request[] = "GET /values.xml HTTP/1.0\r\n\r\n";

// The text between the first <DeviceName> and the first </DeviceName>
// after it, with character and entity references decoded, cut to fit
// `cap` bytes (NUL included) at a UTF-8 boundary. False when a tag is
// missing.
bool extract_device_name(std::string_view answer, char *out, std::size_t cap);
// Decodes the five predefined XML entities and numeric character
// references to printable characters; anything else, a reference to a
// control character included, is kept as it is.
std::string xml_unescape(std::string_view text);
// Escapes & < > " ' for XML text.
using qv::xml_escape;
// The body and whole request of a name upload.
std::string name_upload_body(std::string_view name);
std::string name_upload_request(std::string_view name);

// Looks up the names of the records of the name set (fixed replies only),
// storing each found name in its record. A record whose reply is the same
// as one of `known` takes that one's name instead of a lookup.
void lookup_names(qvudps_module *records, int count, const std::vector<qvudps_module> &known = {});
// Whether two records carry the same search reply as far as the device's
// settings go (the name, token and reserved byte aside).
bool same_reply(const qvudps_module &a, const qvudps_module &b);
// Uploads `name` to ip:port; the outcome only reaches the error record.
void upload_name(const char *ip, uint16_t port, std::string_view name);

} // namespace qvudps

#endif
