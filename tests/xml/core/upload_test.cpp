// Uploads, the credential store and the SNMP trap target.
#include "xml_fixture.h"

#include <cstring>

using namespace kelvo::test;

namespace {

std::string body_of(const std::string &request) {
    const size_t at = request.find("\r\n\r\n");
    return at == std::string::npos ? "" : request.substr(at + 4);
}

using Upload = library_test;

TEST_F(Upload, CredentialLimits) {
    const int h = open_recorded(free_port());
    const std::string s99(99, 'a');
    const std::string s100(100, 'a');
    EXPECT_EQ(qvxml_authenticate_set(h, s99.c_str(), s99.c_str()), 0);
    EXPECT_EQ(qvxml_authenticate_set(h, s100.c_str(), s100.c_str()), -1);
    EXPECT_EQ(code_of(h), 43); // the user name is checked first
    EXPECT_EQ(qvxml_authenticate_get(h, s99.c_str(), s100.c_str()), -1);
    EXPECT_EQ(code_of(h), 42);
    EXPECT_EQ(qvxml_authenticate_get(h, "", "only-a-password"), 0);
}

TEST_F(Upload, EmptyReadUserSendsNoAuthorization) {
    HttpPeer peer([](const std::string &, int) { return answer(200, setup_doc()); });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_authenticate_get(h, "", "secret"), 0);
    ASSERT_EQ(qvxml_get_setup(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 4, 10), 0);
    EXPECT_EQ(peer.requests().at(0), "GET /setup.xml HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(events.wait_for("setup", 1));
    EXPECT_EQ(events.events().back().text, "dev");
}

TEST_F(Upload, FilteredDocumentIsPostedWithCredentials) {
    const std::string answer_doc = setup_doc();
    HttpPeer peer([&](const std::string &, int) { return answer(200, answer_doc); });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_authenticate_set(h, "admin", "pw"), 0);
    const std::string doc = setup_doc();
    ASSERT_EQ(qvxml_send_setup_xml(h, doc.c_str(), static_cast<int>(doc.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 7, 10), 0);
    EXPECT_EQ(qvxml_finish(h, 4), 0);
    ASSERT_TRUE(events.wait_for("upload", 1));
    EXPECT_TRUE(events.events().back().has_data);
    EXPECT_EQ(events.events().back().text, "dev");

    const std::string request = peer.requests().at(0);
    const std::string body = body_of(request);
    const std::string head = "POST /setup.xml HTTP/1.0\r\nAuthorization: Basic YWRtaW46cHc=\r\n"
                             "Content-Type: text/xml\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    EXPECT_EQ(request.substr(0, head.size()), head);
    EXPECT_EQ(body.rfind("<?xml", 0), 0u);
    EXPECT_NE(body.find("<Name>dev</Name>"), std::string::npos);
    // The device's own address and the read-only Agent section never go back.
    EXPECT_EQ(body.find("IPAddr"), std::string::npos);
    EXPECT_EQ(body.find("<Agent>"), std::string::npos);

    // The answer replaced the cached setup.
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    ASSERT_EQ(qvxml_get_setup_cache(h, &setup, &counts), 0);
    EXPECT_STREQ(setup->Network_Name, "dev");
}

TEST_F(Upload, StructureIsWrittenFilteredAndPosted) {
    HttpPeer peer([](const std::string &, int) { return answer(200, setup_doc()); });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_get_setup(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 4, 10), 0);
    qvxml_setup setup{};
    qvxml_setup_counts counts{};
    ASSERT_EQ(qvxml_get_setup_cache_copy(h, &setup, &counts), 0);
    std::strcpy(setup.Network_Name, "renamed");
    ASSERT_EQ(qvxml_send_setup(h, &setup, &counts), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 7, 10), 0);
    ASSERT_TRUE(peer.wait_requests(2, 2000));
    const std::string request = peer.requests().at(1);
    EXPECT_EQ(request.rfind("POST /setup.xml HTTP/1.0\r\nContent-Type: text/xml\r\n", 0), 0u);
    const std::string body = body_of(request);
    const size_t network = body.find("<Network>");
    ASSERT_NE(network, std::string::npos);
    const std::string section = body.substr(network, body.find("</Network>") - network);
    EXPECT_NE(section.find("<Name>renamed</Name>"), std::string::npos);
    EXPECT_EQ(section.find("<IPAddr>"), std::string::npos);
    EXPECT_NE(section.find("<TelnetPort>99</TelnetPort>"), std::string::npos);
}

TEST_F(Upload, OversizedOrInvalidUploadsAreRefusedAndNothingIsQueued) {
    HttpPeer peer([](const std::string &, int) { return answer(200, setup_doc()); });
    const int h = open_recorded(peer.port());
    // A document that fits the buffer but not once the request header is added.
    std::string big = "<?xml version=\"1.0\"?>\n<Root><Global><Logo>";
    big += std::string(19990 - big.size() - 24, 'L');
    big += "</Logo></Global></Root>\n";
    ASSERT_LT(big.size(), 20000u);
    EXPECT_EQ(qvxml_send_setup_xml(h, big.c_str(), static_cast<int>(big.size())), -1);
    EXPECT_EQ(code_of(h), 81);
    // Not XML at all: refused before anything reaches the device.
    EXPECT_EQ(qvxml_send_setup_xml(h, "hello world", 11), -1);
    EXPECT_EQ(code_of(h), 45);
    const std::string empty;
    EXPECT_EQ(qvxml_send_setup_xml(h, empty.c_str(), 0), -1);
    EXPECT_EQ(code_of(h), 45);
    EXPECT_EQ(qvxml_finish(h, 7), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(peer.requests().empty());

    ASSERT_EQ(qvxml_close(h), 0);
    const std::string doc = setup_doc();
    EXPECT_EQ(qvxml_send_setup_xml(h, doc.c_str(), static_cast<int>(doc.size())), -1);
    EXPECT_EQ(code_of(h), 40);
}

TEST_F(Upload, SavedDocumentLargerThanTheBufferIsPostedWhenItsFilteredFormFits) {
    HttpPeer peer([](const std::string &, int) { return answer(200, setup_doc()); });
    const int h = open_recorded(peer.port());
    // As a text editor saves it: CR LF line ends, indentation, blank lines.
    std::string saved = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root>\r\n";
    while (saved.size() < 21000) {
        saved += "\t<Logo>x</Logo>\r\n\r\n";
    }
    saved += "</Root>\r\n";
    ASSERT_EQ(qvxml_send_setup_xml(h, saved.c_str(), static_cast<int>(saved.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 7, 10), 0);
    ASSERT_TRUE(peer.wait_requests(1, 2000));
    const std::string body = body_of(peer.requests().at(0));
    EXPECT_LT(body.size(), 20000u);
    EXPECT_EQ(body.find('\r'), std::string::npos);
    EXPECT_NE(body.find("\t<Logo>x</Logo>\n\t<Logo>"), std::string::npos);
}

TEST_F(Upload, TrapTargetIsSetWithoutCredentialsAndReadBack) {
    std::string next_answer = setup_doc("192.168.1.10", "162");
    HttpPeer peer([&](const std::string &request, int) {
        if (request.rfind("GET", 0) == 0) {
            return answer(200, next_answer);
        }
        return answer(200, setup_doc("192.168.1.10", "162"));
    });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_authenticate_set(h, "admin", "pw"), 0);
    ASSERT_EQ(qvxml_set_snmp_manager(h, "192.168.1.10", 162), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 7, 10), 0);
    const std::string expected_body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<SnmpTraps>\n<Entry>\n<Idx>1</Idx>\n"
        "<Community>public</Community>\n<IPaddr>192.168.1.10</IPaddr>\n<Port>162</Port>\n"
        "<E>1</E>\n</Entry>\n</SnmpTraps>\n</Root>";
    EXPECT_EQ(peer.requests().at(0),
              "POST /setup.xml HTTP/1.0\r\nContent-Type: text/xml\r\nContent-Length: " +
                  std::to_string(expected_body.size()) + "\r\n\r\n" + expected_body);

    char address[16];
    int port = 0;
    ASSERT_EQ(qvxml_get_snmp_manager(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 6, 10), 0);
    ASSERT_EQ(qvxml_get_snmp_manager_cache(h, address, &port), 0);
    EXPECT_STREQ(address, "192.168.1.10");
    EXPECT_EQ(port, 162);

    next_answer = setup_doc();
    ASSERT_EQ(qvxml_get_snmp_manager(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 6, 10), 0);
    EXPECT_EQ(qvxml_get_snmp_manager_cache(h, address, &port), -1);
    EXPECT_EQ(code_of(h), 14);
    EXPECT_EQ(qvxml_set_snmp_manager(h, "1234567890.123456", 1), -1);
    EXPECT_EQ(code_of(h), 13);
}

TEST_F(Upload, EveryModuleGetsItsOwnRequest) {
    // Some firmware answers an upload with only part of its document.
    auto device = [](const std::string &request, int) {
        return answer(200, request.rfind("POST", 0) == 0
                               ? "<?xml version=\"1.0\"?><Root><Network><Name>partial</Name>"
                                 "</Network></Root>"
                               : setup_doc());
    };
    HttpPeer first(device);
    HttpPeer second(device);
    const int h = qvxml_open_many(&events);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    qvxml_options options{};
    options.callbacks = recorder::table();
    ASSERT_EQ(qvxml_add_module(h, "127.0.0.1", first.port(), &options), 0);
    std::strcpy(options.set_user, "admin");
    std::strcpy(options.set_password, "pw");
    ASSERT_EQ(qvxml_add_module(h, "127.0.0.1", second.port(), &options), 1);
    qvxml_callbacks table = recorder::table();
    ASSERT_EQ(qvxml_callback(h, &table), 0);

    // Uploads go to the address of the last download.
    ASSERT_EQ(qvxml_get_setup(h), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 4, 10), 0);
    const std::string doc = setup_doc();
    ASSERT_EQ(qvxml_send_setup_xml_many(h, doc.c_str(), static_cast<int>(doc.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 7, 10), 0);
    ASSERT_TRUE(events.wait_for("upload", 2));
    ASSERT_EQ(first.requests().size(), 2u);
    ASSERT_EQ(second.requests().size(), 2u);
    EXPECT_EQ(first.requests()[1].raw.find("Authorization"), std::string::npos);
    EXPECT_NE(second.requests()[1].raw.find("Authorization: Basic YWRtaW46cHc=\r\n"),
              std::string::npos);
    // The answer does not replace what was downloaded.
    qvxml_setup *cached = nullptr;
    qvxml_setup_counts *cached_counts = nullptr;
    ASSERT_EQ(qvxml_get_setup_cache_many(h, 1, &cached, &cached_counts), 0);
    EXPECT_STREQ(cached->Network_TelnetPort, "99");

    // A structure edit applied to every module's cached setup.
    ASSERT_EQ(qvxml_send_setup_many(h, [](qvxml_setup *s) { std::strcpy(s->Network_Name, "all"); }),
              0);
    ASSERT_EQ(qvxml_wait_finish(h, 7, 10), 0);
    ASSERT_TRUE(second.wait_requests(3, 2000));
    EXPECT_NE(body_of(second.requests()[2]).find("<Name>all</Name>"), std::string::npos);
    EXPECT_NE(body_of(second.requests()[2]).find("<TelnetPort>99</TelnetPort>"), std::string::npos);
    // The single-device forms are refused on a multi-device handle.
    EXPECT_EQ(qvxml_send_setup_xml(h, doc.c_str(), static_cast<int>(doc.size())), -1);
    EXPECT_EQ(code_of(h), 16);
}

} // namespace
