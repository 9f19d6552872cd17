// Error table and records, Base64, the header scan and downloads over HTTP.
#include "http.h"
#include "xml_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace xmltest;

namespace {

std::string i2s(int code) {
    char text[64];
    std::memset(text, 'x', sizeof text);
    qv_error_i2s(code, text);
    return text;
}

TEST(ErrorTable, MessagesByCodeAndOutOfRange) {
    EXPECT_EQ(i2s(0), "NULL");
    EXPECT_EQ(i2s(18), "ID >= QVXML_ID_COUNT_MAX");
    EXPECT_EQ(i2s(48), "HTTP: Unauthorized");
    EXPECT_EQ(i2s(63), "HTTP: Requested Range Not Satisfiable");
    EXPECT_EQ(i2s(63).size() + 1, static_cast<size_t>(QVXML_ERROR_I2S_MAX));
    EXPECT_EQ(i2s(70), "HTTP Version Not Supported");
    EXPECT_EQ(i2s(89), "Resolve address failed");
    EXPECT_EQ(i2s(90), "NULL");
    EXPECT_EQ(i2s(-1), "NULL");
}

TEST(ErrorRecord, RecordsErrnoAndPrintsOneLine) {
    errno = ENOENT;
    qvxml::record_error(57, static_cast<qvxml::error_code>(6));
    EXPECT_EQ(errno, ENOENT);
    qvxml_error_record record{};
    ASSERT_EQ(qvxml_error(57, &record), 0);
    EXPECT_EQ(record.code, 6);
    EXPECT_STREQ(record.text, "File open failure");
    EXPECT_EQ(record.sys_errno, ENOENT);
    EXPECT_STREQ(record.sys_text, std::strerror(ENOENT));

    testing::internal::CaptureStdout();
    qvxml_error_print(57);
    const std::string line = testing::internal::GetCapturedStdout();
    EXPECT_EQ(line, std::string("File open failure (6): ") + std::strerror(ENOENT) + " (" +
                        std::to_string(ENOENT) + ")\n");

    // An error without a system cause never shows what an unrelated call
    // left in errno.
    errno = EINPROGRESS;
    qvxml::record_error(57, static_cast<qvxml::error_code>(48));
    ASSERT_EQ(qvxml_error(57, &record), 0);
    EXPECT_STREQ(record.text, "HTTP: Unauthorized");
    EXPECT_EQ(record.sys_errno, 0);
    EXPECT_STREQ(record.sys_text, "");

    // A code without a row keeps the code and takes the text of row 0.
    qvxml::record_error(57, static_cast<qvxml::error_code>(1234));
    ASSERT_EQ(qvxml_error(57, &record), 0);
    EXPECT_EQ(record.code, 1234);
    EXPECT_STREQ(record.text, "NULL");

    // A slot that never failed is all zero; out-of-range handles are refused.
    qvxml_error_record clean{};
    std::memset(&clean, 0x5a, sizeof clean);
    ASSERT_EQ(qvxml_error(58, &clean), 0);
    EXPECT_EQ(clean.code, 0);
    EXPECT_EQ(clean.sys_errno, 0);
    EXPECT_STREQ(clean.text, "");
    EXPECT_EQ(qvxml_error(100, &record), -1);
    EXPECT_EQ(qvxml_error(-1, &record), -1);
}

TEST(Base64, StandardAlphabetPaddingAndCapacity) {
    char out[32];
    const std::pair<const char *, const char *> vectors[] = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "+/8="}};
    for (const auto &[in, expected] : vectors) {
        ASSERT_EQ(qvxml::base64_encode(in, std::strlen(in), out, sizeof out),
                  static_cast<int>(std::strlen(expected)));
        EXPECT_STREQ(out, expected);
    }
    // "Zm9v" and its NUL need 5 bytes; 4 are refused and nothing is written.
    std::strcpy(out, "keep");
    EXPECT_EQ(qvxml::base64_encode("foo", 3, out, 4), -1);
    EXPECT_STREQ(out, "keep");
    // The longest credentials (99 + ":" + 99 characters) give 268 characters.
    const std::string user(99, 'u');
    const std::string password(99, 'p');
    char header[400];
    ASSERT_EQ(qvxml::http_authorization(user.c_str(), password.c_str(), header, sizeof header), 0);
    EXPECT_EQ(std::strlen(header), std::strlen("Authorization: Basic \r\n") + 268);
    ASSERT_EQ(qvxml::http_authorization("", "secret", header, sizeof header), 0);
    EXPECT_STREQ(header, "");
}

// Feeds a reply split at the given offsets to the header scan and returns the
// body it keeps, or "ERROR" for a refused status.
std::string scan_reply(const std::string &reply, std::vector<size_t> cuts, int handle = 59) {
    qvxml::header_scan scan;
    std::string body;
    cuts.push_back(reply.size());
    size_t from = 0;
    for (size_t cut : cuts) {
        const std::string chunk = reply.substr(from, cut - from);
        from = cut;
        if (scan.found) {
            body += chunk;
            continue;
        }
        const long offset =
            qvxml::http_header_end(handle, scan, chunk.data(), static_cast<long>(chunk.size()));
        if (offset < 0) {
            return "ERROR";
        }
        if (scan.found) {
            body = chunk.substr(static_cast<size_t>(offset));
        } else {
            body += chunk;
        }
    }
    return body;
}

TEST(HeaderScan, FindsTheHeaderEndAcrossChunksAndMapsTheStatus) {
    const std::string reply = "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n<?xml?><Root/>";
    EXPECT_EQ(scan_reply(reply, {}), "<?xml?><Root/>");
    // The end sequence split after every possible byte.
    const size_t end = reply.find("\r\n\r\n");
    for (size_t cut = end; cut <= end + 4; ++cut) {
        EXPECT_EQ(scan_reply(reply, {cut}), "<?xml?><Root/>") << "cut at " << cut;
    }
    // A header longer than one 1024-byte chunk.
    const std::string long_reply =
        "HTTP/1.0 200 OK\r\nX-Pad: " + std::string(3000, 'a') + "\r\n\r\nbody";
    EXPECT_EQ(scan_reply(long_reply, {1024, 2048, 3026}), "body");
    // No header end: everything is body, status line included.
    EXPECT_EQ(scan_reply("HTTP/1.0 401 x\r\nno end", {5}), "HTTP/1.0 401 x\r\nno end");
    // The status comes from the status line, also when it arrived in an earlier chunk.
    EXPECT_EQ(scan_reply("HTTP/1.1 401 Unauthorized\r\n\r\n", {3}), "ERROR");
    qvxml_error_record record{};
    qvxml_error(59, &record);
    EXPECT_EQ(record.code, 48);
    EXPECT_EQ(scan_reply("HTTP/1.0 302 Found\r\nLocation: /\r\n\r\nmoved", {}), "moved");
    EXPECT_EQ(scan_reply("HTTP/1.0 418 Teapot\r\n\r\ntea", {}), "tea");
    EXPECT_EQ(scan_reply("HTTP/1.0 abc OK\r\n\r\nx", {}), "x");
}

TEST(HeaderScan, StatusTable) {
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(200)), 0);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(399)), 0);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(400)), 47);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(404)), 51);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(417)), 64);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(418)), 0);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(500)), 65);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(505)), 70);
    EXPECT_EQ(qvxml::number_of(qvxml::http_status_error(506)), 0);
}

using Download = library_test;

TEST_F(Download, ValuesAreStoredByteForByteAndParsed) {
    http_peer peer([](const std::string &, int) { return answer(200, values_doc); });
    const int h = open_recorded(peer.port());
    char ip[16] = "x";
    int port = 0;
    ASSERT_EQ(qvxml_get_module(h, ip, &port), 0);
    EXPECT_STREQ(ip, ""); // no connection yet
    EXPECT_EQ(port, peer.port());

    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    ASSERT_TRUE(events.wait_for("values", 1));
    const event e = events.events().back();
    EXPECT_TRUE(e.has_data);
    EXPECT_EQ(e.module, -1);
    EXPECT_EQ(e.text, "1.2.3");
    EXPECT_EQ(e.count, 2);
    EXPECT_EQ(events.count("connected"), 1u);
    EXPECT_EQ(peer.requests().at(0), "GET /values.xml HTTP/1.0\r\n\r\n");

    qvxml_error_record record{};
    ASSERT_EQ(qvxml_error(h, &record), 0);
    EXPECT_EQ(record.code, 0);
    EXPECT_STREQ(record.text, "NULL");

    // The stored document is what the device sent, prefixed root included.
    char *text = nullptr;
    int length = 0;
    ASSERT_EQ(qvxml_get_values_xml(h, &text, &length), 0);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), values_doc);
    const std::string path = testing::TempDir() + "values_copy.xml";
    ASSERT_EQ(qvxml_get_values_to_file(h, path.c_str()), 0);
    std::ifstream file(path, std::ios::binary);
    std::stringstream saved;
    saved << file.rdbuf();
    EXPECT_EQ(saved.str(), values_doc);
#ifndef _WIN32
    // Devices' documents hold passwords: readable by the owner only. Windows
    // shows no mode bits; there the file gets an owner-only access list.
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
    qvxml_values *values = nullptr;
    qvxml_values_counts *counts = nullptr;
    ASSERT_EQ(qvxml_get_values_cache(h, &values, &counts), 0);
    EXPECT_STREQ(values->Agent_DeviceName, "A & B");
    EXPECT_EQ(counts->SenSet, 2);
    EXPECT_GT(values->time, 0);

    ASSERT_EQ(qvxml_get_module(h, ip, &port), 0);
    EXPECT_STREQ(ip, "127.0.0.1");
    // The setup document was never asked for.
    EXPECT_EQ(qvxml_get_setup_xml(h, &text, &length), -1);
    EXPECT_EQ(code_of(h), 1);
    // A file error is kept like a download error until the next operation.
    EXPECT_EQ(qvxml_get_values_to_file(h, "/nonexistent-dir/x.xml"), -1);
    EXPECT_EQ(code_of(h), 6);
    EXPECT_EQ(qvxml_get_values_xml(h, &text, &length), -1);
    // A target that cannot be replaced stays as it was, with nothing beside it.
    const std::string busy = testing::TempDir() + "values_busy";
    std::filesystem::remove(busy);
    ASSERT_TRUE(std::filesystem::create_directory(busy));
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    EXPECT_EQ(qvxml_get_values_to_file(h, busy.c_str()), -1);
    EXPECT_EQ(code_of(h), 7);
    EXPECT_TRUE(std::filesystem::remove(busy)); // still an empty folder
#ifndef _WIN32
    // A link at the target is refused, never followed, and stays a link.
    const std::string link = testing::TempDir() + "values_link.xml";
    const std::string victim = testing::TempDir() + "values_victim";
    std::remove(link.c_str());
    std::remove(victim.c_str());
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    EXPECT_EQ(qvxml_get_values_to_file(h, link.c_str()), -1);
    EXPECT_EQ(code_of(h), 6);
    EXPECT_NE(access(victim.c_str(), F_OK), 0);
    EXPECT_EQ(unlink(link.c_str()), 0);
#endif
    for (const auto &entry : std::filesystem::directory_iterator(testing::TempDir())) {
        EXPECT_NE(entry.path().filename().string().rfind("values_busy.", 0), 0u);
    }
}

TEST_F(Download, UnauthorizedLeavesNoDocumentAndKeepsTheCause) {
    http_peer peer([](const std::string &, int) {
        return answer(401,
                      "<?xml version=\"1.0\"?><Root><Agent><Version>9</Version></Agent></Root>");
    });
    const int h = open_recorded(peer.port(), "admin", "pw");
    ASSERT_EQ(qvxml_get_setup(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 4, 10), 0);
    ASSERT_TRUE(events.wait_for("setup", 1));
    EXPECT_FALSE(events.events().back().has_data);
    EXPECT_EQ(code_of(h), 48);
    EXPECT_EQ(peer.requests().at(0),
              "GET /setup.xml HTTP/1.0\r\nAuthorization: Basic YWRtaW46cHc=\r\n\r\n");
    char *text = nullptr;
    int length = 0;
    EXPECT_EQ(qvxml_get_setup_xml(h, &text, &length), -1);
    EXPECT_EQ(code_of(h), 48); // the failed download stays visible
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    EXPECT_EQ(qvxml_get_setup_cache(h, &setup, &counts), -1);
}

TEST_F(Download, RedirectBodyIsParsedAndUnterminatedHeaderIsKeptWhole) {
    http_peer peer([](const std::string &, int index) {
        if (index == 0) {
            return peer_reply{{"HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n" + values_doc}};
        }
        // No header end at all: the reply is kept as it came.
        return peer_reply{{"HTTP/1.0 200 OK\r\n" + values_doc}};
    });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    ASSERT_TRUE(events.wait_for("values", 1));
    EXPECT_EQ(events.events().back().text, "1.2.3");

    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    ASSERT_TRUE(events.wait_for("values", 2));
    char *text = nullptr;
    int length = 0;
    ASSERT_EQ(qvxml_get_values_xml(h, &text, &length), 0);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), "HTTP/1.0 200 OK\r\n" + values_doc);
}

TEST_F(Download, HeaderSplitOverSlowChunks) {
    const std::string head = "HTTP/1.0 200 OK\r\nX-Pad: " + std::string(1500, 'p') + "\r\n\r";
    http_peer peer([&](const std::string &, int) {
        peer_reply r{{head, "\n" + values_doc.substr(0, 40), values_doc.substr(40)}};
        r.delay_ms = 60;
        return r;
    });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    char *text = nullptr;
    int length = 0;
    ASSERT_EQ(qvxml_get_values_xml(h, &text, &length), 0);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), values_doc);
}

TEST_F(Download, BodyLimitIs19999Bytes) {
    // A document padded with a comment to an exact body size.
    auto body_of = [](size_t size) {
        std::string doc = "<?xml version=\"1.0\"?><Root><Agent><Version>7</Version></Agent><!--";
        const std::string tail = "--></Root>";
        doc += std::string(size - doc.size() - tail.size(), 'c');
        return doc + tail;
    };
    http_peer peer([&](const std::string &, int index) {
        return answer(200, body_of(index == 0 ? 19999 : 20000));
    });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    char *text = nullptr;
    int length = 0;
    ASSERT_EQ(qvxml_get_values_xml(h, &text, &length), 0);
    EXPECT_EQ(length, 19999);

    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    EXPECT_EQ(code_of(h), 12);
    EXPECT_EQ(qvxml_get_values_xml(h, &text, &length), -1);
}

TEST_F(Download, RefusedConnectionCallsTheErrorCallback) {
    const int h = open_recorded(free_port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    ASSERT_TRUE(events.wait_for("values", 1));
    EXPECT_EQ(code_of(h), 28);
    ASSERT_EQ(events.count("connect_error"), 1u);
    for (const event &e : events.events()) {
        if (e.what == "connect_error") {
            EXPECT_EQ(e.code, 28);
        }
        if (e.what == "values") {
            EXPECT_FALSE(e.has_data);
        }
    }
    char *text = nullptr;
    int length = 0;
    EXPECT_EQ(qvxml_get_values_xml(h, &text, &length), -1);
    EXPECT_EQ(code_of(h), 28);
    // The cause is the refusal, not what the check that followed it found.
    qvxml_error_record record{};
    qvxml_error(h, &record);
    EXPECT_EQ(record.sys_errno, ECONNREFUSED);
}

// A reply is a document only when all of it arrived.
TEST_F(Download, IncompleteRepliesAreErrorsAndChunkedOnesAreDecoded) {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n";
    const std::string chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
    auto chunk = [](const std::string &data) {
        char size[16];
        std::snprintf(size, sizeof size, "%zx", data.size());
        return std::string(size) + "\r\n" + data + "\r\n";
    };
    const std::string first = values_doc.substr(0, 50);
    const std::string rest = values_doc.substr(50);
    const struct {
        const char *name;
        std::vector<std::string> chunks;
        int code; // 0: the document is values_doc
    } cases[] = {
        {"closed without a word", {}, 34},
        {"cut by a close", {head + "Content-Length: 5000\r\n\r\n" + values_doc}, 34},
        {"longer than announced",
         {head + "Content-Length: " + std::to_string(values_doc.size()) + "\r\n\r\n" + values_doc +
          "junk"},
         0},
        {"chunked", {chunked + chunk(first), chunk(rest) + "0\r\n\r\n"}, 0},
        {"chunked, cut", {chunked + chunk(first) + chunk(rest)}, 34},
        {"chunked, bad size", {chunked + "zz\r\n" + values_doc + "\r\n0\r\n\r\n"}, 34},
    };
    for (const auto &c : cases) {
        http_peer peer([&](const std::string &, int) { return peer_reply{c.chunks}; });
        const int h = open_recorded(peer.port());
        ASSERT_EQ(qvxml_get_values(h), 0);
        ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0) << c.name;
        EXPECT_EQ(code_of(h), c.code) << c.name;
        char *text = nullptr;
        int length = 0;
        if (c.code == 0) {
            ASSERT_EQ(qvxml_get_values_xml(h, &text, &length), 0) << c.name;
            EXPECT_EQ(std::string(text, static_cast<size_t>(length)), values_doc) << c.name;
        } else {
            EXPECT_EQ(qvxml_get_values_xml(h, &text, &length), -1) << c.name;
        }
        ASSERT_EQ(qvxml_close(h), 0);
    }
}

TEST_F(Download, HostNameIsResolvedOnConnect) {
    http_peer peer([](const std::string &, int) { return answer(200, values_doc); });
    qvxml_options options{};
    options.callbacks = recorder::table();
    const int h = qvxml_open("localhost", peer.port(), &options, &events);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    ASSERT_EQ(qvxml_get_values(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    char host[100] = {};
    char ip[16] = {};
    int port = 0;
    ASSERT_EQ(qvxml_get_module_ex(h, host, ip, &port), 0);
    EXPECT_STREQ(host, "localhost");
    EXPECT_STREQ(ip, "127.0.0.1");
    EXPECT_EQ(code_of(h), 0);
}

// The one slow case: a device that keeps the connection open after a reply
// without a length. The reply ends after 10 s of silence and is accepted; a
// shorter wait for it times out with 19 meanwhile. A device that accepts the
// connection and never answers at the same time gets 19 as well.
TEST_F(Download, SilentPeerEndsTheReplyAfterTenSeconds) {
    http_peer peer([](const std::string &, int) {
        peer_reply r{{"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + values_doc}};
        r.hold_ms = 15000;
        return r;
    });
    http_peer mute([](const std::string &, int) {
        peer_reply r;
        r.silent = true;
        r.hold_ms = 15000;
        return r;
    });
    const int h = open_recorded(peer.port());
    const int m = open_recorded(mute.port());
    ASSERT_EQ(qvxml_get_values(m), 0);
    ASSERT_EQ(qvxml_get_values(h), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(qvxml_wait_finish(h, 2, 2), -1);
    EXPECT_EQ(code_of(0), 19);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::seconds(2));
    EXPECT_LT(waited, std::chrono::milliseconds(4500));
    EXPECT_EQ(qvxml_finish(h, 2), -1);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 15), 0);
    char *text = nullptr;
    int length = 0;
    ASSERT_EQ(qvxml_get_values_xml(h, &text, &length), 0);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), values_doc);

    ASSERT_EQ(qvxml_wait_finish(m, 2, 15), 0);
    qvxml_error_record record{};
    qvxml_error(m, &record);
    EXPECT_EQ(record.code, 19);
    EXPECT_STREQ(record.text, "Timeout");
    EXPECT_EQ(record.sys_errno, 0);
}

} // namespace
