// The device's web server: HTTP/1.0, one request per connection.
#include "internal.h"
#include "qvtext.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kelvo::devsim {

namespace {

constexpr std::size_t kMaxRequest = 64 * 1024;
constexpr std::size_t kLoggedBody = 20000;

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool base64_decode(const std::string &in, std::string &out) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.clear();
    unsigned acc = 0;
    int bits = 0;
    for (char c : in) {
        if (c == '=')
            break;
        const auto v = alphabet.find(c);
        if (v == std::string::npos)
            return false;
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return true;
}

struct Request {
    std::string method;
    std::string path;
    std::string authorization; // value of the header
    std::string body;
    long long content_length = -1;
};

// Splits the request head; false when it is not a request line at all. The
// request line is taken leniently: some clients write "HTTP 1.0".
bool parse_head(const std::string &head, Request &r) {
    std::size_t eol = head.find('\n');
    std::string line = trimmed(head.substr(0, eol));
    const auto sp = line.find(' ');
    if (sp == std::string::npos)
        return false;
    r.method = line.substr(0, sp);
    const auto sp2 = line.find(' ', sp + 1);
    r.path = line.substr(sp + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp - 1);
    if (r.method.empty() || r.path.empty() || r.path[0] != '/')
        return false;
    const auto q = r.path.find('?');
    if (q != std::string::npos)
        r.path.resize(q);
    while (eol != std::string::npos) {
        const std::size_t start = eol + 1;
        eol = head.find('\n', start);
        const std::string h =
            head.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
        const auto colon = h.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = lower(trimmed(h.substr(0, colon)));
        const std::string value = trimmed(h.substr(colon + 1));
        if (name == "content-length") {
            if (value.empty() || value.size() > 9 ||
                value.find_first_not_of("0123456789") != std::string::npos)
                r.content_length = -2;
            else
                r.content_length = std::stoll(value);
        } else if (name == "authorization") {
            r.authorization = value;
        }
    }
    return true;
}

std::string error_page(int status) {
    return "<html><head><title>" + std::to_string(status) + " " + qv::http_reason(status) +
           "</title></head><body><h1>" + std::to_string(status) + " " + qv::http_reason(status) +
           "</h1></body></html>\n";
}

std::string break_off(const std::string &doc) {
    std::string cut = doc.substr(0, doc.size() * 2 / 3);
    const auto lt = cut.rfind('<');
    if (lt != std::string::npos)
        cut.resize(std::min(cut.size(), lt + 4));
    return cut;
}

std::string pad_to(std::string doc, std::size_t size) {
    if (doc.size() + 9 >= size)
        return doc;
    doc += "<!-- " + std::string(size - doc.size() - 9, 'x') + " -->\n";
    return doc;
}

} // namespace

void Fleet::Impl::http_input(Conn &c) {
    if (c.answered) {
        c.in.clear();
        return;
    }
    Device &dev = devices[c.dev];
    const Faults f = dev.cfg.faults;
    const auto now = Clock::now();

    auto respond = [&](int status, const std::string &type, const std::string &body,
                       const std::string &extra) {
        std::string head = "HTTP/1.0 " + std::to_string(status) + " " + qv::http_reason(status) +
                           "\r\nServer: kelvo-devsim\r\nContent-Type: " + type +
                           "\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: close\r\n" + extra + "\r\n";
        queue_write(c, head + body);
        c.answered = true;
        c.close_when_written = true;
        c.next_write = now + std::chrono::milliseconds(std::max(0, f.http_delay_ms));
        c.piece_delay_ms = std::max(0, f.slow_body_ms);
        c.deadline = now + std::chrono::seconds(60);
    };

    if (c.in.size() > kMaxRequest) {
        respond(413, "text/html", error_page(413), "");
        return;
    }
    std::size_t head_end = c.in.find("\r\n\r\n");
    std::size_t sep = 4;
    const std::size_t lf = c.in.find("\n\n");
    if (lf != std::string::npos && (head_end == std::string::npos || lf < head_end)) {
        head_end = lf;
        sep = 2;
    }
    if (head_end == std::string::npos)
        return; // wait for the rest of the head
    Request r;
    if (!parse_head(c.in.substr(0, head_end), r)) {
        add_log(JsonLine().add("mac", dev.cfg.mac).add("status", 400LL), "http");
        respond(400, "text/html", error_page(400), "");
        return;
    }
    const std::size_t body_at = head_end + sep;
    if (r.method == "POST") {
        if (r.content_length < 0 || static_cast<std::size_t>(r.content_length) > kMaxRequest) {
            const int status = r.content_length == -1 ? 411 : 413;
            add_log(JsonLine()
                        .add("mac", dev.cfg.mac)
                        .add("method", r.method)
                        .add("path", r.path)
                        .add("status", static_cast<long long>(status)),
                    "http");
            respond(status, "text/html", error_page(status), "");
            return;
        }
        if (c.in.size() - body_at < static_cast<std::size_t>(r.content_length))
            return; // wait for the whole body
        r.body = c.in.substr(body_at, static_cast<std::size_t>(r.content_length));
    }
    c.in.clear();

    // Who asked: the user name of a Basic header, "?" for one that cannot be read.
    std::string user, password;
    bool has_auth = false;
    if (lower(r.authorization.substr(0, 6)) == "basic ") {
        std::string plain;
        if (base64_decode(trimmed(r.authorization.substr(6)), plain)) {
            const auto colon = plain.find(':');
            user = plain.substr(0, colon);
            password = colon == std::string::npos ? std::string() : plain.substr(colon + 1);
            has_auth = true;
        } else {
            user = "?";
        }
    }

    int status = 200;
    std::string type = "text/xml";
    std::string body;
    std::string extra;
    PostResult post;
    const bool is_get = r.method == "GET";
    const bool is_post = r.method == "POST";

    auto log_it = [&] {
        JsonLine line;
        line.add("mac", dev.cfg.mac)
            .add("method", r.method)
            .add("path", r.path)
            .add("auth", user)
            .add("status", static_cast<long long>(status));
        if (is_post)
            line.add("body", r.body.substr(0, kLoggedBody));
        if (is_post && post.parsed) {
            std::string applied;
            for (const auto &p : post.applied)
                applied += (applied.empty() ? "" : " ") + p;
            line.add("applied", applied);
        }
        add_log(line, "http");
    };

    if (f.http_silent) {
        status = 0;
        log_it();
        c.answered = true;
        c.deadline = now + std::chrono::seconds(60);
        return;
    }

    if (f.http_status) {
        status = f.http_status;
        type = "text/html";
        body = error_page(status);
        if (status == 401)
            extra = "WWW-Authenticate: Basic realm=\"Kelvo device\"\r\n";
    } else if (r.path == "/values.xml" && is_get) {
        body = values_document(dev.setup, dev.cfg);
    } else if (r.path == "/setup.xml" && (is_get || is_post)) {
        const bool need_auth = !dev.cfg.http_user.empty();
        if (need_auth &&
            (!has_auth || user != dev.cfg.http_user || password != dev.cfg.http_password)) {
            status = 401;
            type = "text/html";
            body = error_page(401);
            extra = "WWW-Authenticate: Basic realm=\"Kelvo device\"\r\n";
        } else if (is_get) {
            body = setup_document(dev.setup, dev.cfg);
        } else {
            post = apply_setup_post(dev.setup, dev.cfg, r.body);
            if (!post.parsed) {
                status = 400;
                type = "text/html";
                body = error_page(400);
            } else {
                body = setup_document(dev.setup, dev.cfg);
            }
        }
    } else if ((r.path == "/" || r.path == "/index.html") && is_get) {
        type = "text/html";
        body = "<html><head><title>" + xml_escape(dev.cfg.name) + "</title></head><body><h1>" +
               xml_escape(dev.cfg.name.empty() ? dev.cfg.mac : dev.cfg.name) +
               "</h1><p>Simulated device " + dev.cfg.mac +
               "</p><p><a href=\"/values.xml\">values.xml</a> <a "
               "href=\"/setup.xml\">setup.xml</a></p></body></html>\n";
    } else if (!is_get && !is_post) {
        status = 405;
        type = "text/html";
        body = error_page(405);
    } else {
        status = 404;
        type = "text/html";
        body = error_page(404);
    }

    if (status == 200 && type == "text/xml") {
        if (f.malformed_xml)
            body = break_off(body);
        if (f.oversize)
            body = pad_to(body, f.oversize);
    }
    log_it();
    respond(status, type, body, extra);
    if (post.parsed && post.address_changed)
        move_device(dev); // the open connection still carries the answer
}

} // namespace kelvo::devsim
