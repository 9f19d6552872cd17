// Library lifetime, handle numbers, modules and the request functions.
#include "xml_fixture.h"

#include <algorithm>
#include <cstring>

using namespace kelvo::test;

namespace {

int slot0_code() {
    qvxml_error_record record{};
    qvxml_error(0, &record);
    return record.code;
}

TEST(Lifetime, InitCountsReferencesAndRef2Zero) {
    EXPECT_EQ(qvxml_uninit(), 0); // never initialised
    ASSERT_EQ(qvxml_init(), 0);
    EXPECT_EQ(qvxml_init(), -1);
    EXPECT_EQ(slot0_code(), 80);
    EXPECT_EQ(qvxml_uninit(), -1); // one reference left
    EXPECT_EQ(slot0_code(), 80);
    EXPECT_EQ(qvxml_uninit(), 0); // tears down
    EXPECT_EQ(qvxml_open("127.0.0.1", 80, nullptr, nullptr), -1);

    ASSERT_EQ(qvxml_init(), 0);
    EXPECT_EQ(qvxml_init(), -1);
    EXPECT_EQ(qvxml_init(), -1);
    qvxml_count_ref2zero();
    // uninit closes the handles that are still open.
    const int h = qvxml_open("127.0.0.1", 80, nullptr, nullptr);
    ASSERT_GT(h, 0);
    EXPECT_EQ(qvxml_uninit(), 0);
    EXPECT_EQ(qvxml_finish(h, 0), -1);
    ASSERT_EQ(qvxml_init(), 0);
    EXPECT_EQ(qvxml_uninit(), 0);
}

using Handles = library_test;

TEST_F(Handles, OpenRefusesLongHostAndHandlesOutsideTheRange) {
    const std::string host99(99, 'h');
    const std::string host100(100, 'h');
    EXPECT_EQ(qvxml_open(host100.c_str(), 80, nullptr, nullptr), -1);
    EXPECT_EQ(slot0_code(), 13);
    const int h = qvxml_open(host99.c_str(), 80, nullptr, nullptr);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    EXPECT_EQ(qvxml_type_of(h), 0);

    for (int bad : {0, 100, -3, 1000}) {
        EXPECT_EQ(qvxml_get_values(bad), -1);
        EXPECT_EQ(slot0_code(), 18);
        EXPECT_EQ(qvxml_close(bad), -1);
        EXPECT_EQ(qvxml_finish(bad, 2), -1);
        EXPECT_EQ(qvxml_callback(bad, nullptr), -1);
        char *text = nullptr;
        int length = 0;
        EXPECT_EQ(qvxml_get_values_xml(bad, &text, &length), -1);
        EXPECT_EQ(qvxml_add_module(bad, "a", 1, nullptr), -1);
        EXPECT_EQ(slot0_code(), 18);
    }
    EXPECT_EQ(qvxml_finish(h, 11), -1);
    EXPECT_EQ(slot0_code(), 2);
    EXPECT_EQ(qvxml_wait_finish(h, 11, 1), -1);
    EXPECT_EQ(slot0_code(), 2);
    EXPECT_EQ(qvxml_close(h), 0);
    // A closed handle takes no requests and cannot be closed twice.
    EXPECT_EQ(qvxml_get_values(h), -1);
    EXPECT_EQ(code_of(h), 40);
    EXPECT_EQ(qvxml_close(h), -1);
    EXPECT_EQ(qvxml_wait_finish(h, 0, 1), -1);
}

TEST_F(Handles, All99HandlesWorkAndSlotsAreReusedAfterClose) {
    std::vector<int> handles;
    for (int i = 0; i < QVXML_ID_COUNT_MAX - 1; ++i) {
        const int h = qvxml_open("127.0.0.1", 80, nullptr, nullptr);
        ASSERT_GT(h, 0) << "open " << i;
        ASSERT_LT(h, QVXML_ID_COUNT_MAX);
        handles.push_back(h);
    }
    for (int h : handles) {
        ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0) << "handle " << h;
    }
    std::vector<int> sorted = handles;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(qvxml_open("127.0.0.1", 80, nullptr, nullptr), -1);
    EXPECT_EQ(slot0_code(), 18);

    ASSERT_EQ(qvxml_close(handles[40]), 0);
    const int again = qvxml_open("127.0.0.1", 80, nullptr, nullptr);
    EXPECT_EQ(again, handles[40]);
    EXPECT_EQ(qvxml_wait_finish(again, 0, 5), 0);
    for (int h : handles) {
        EXPECT_EQ(qvxml_close(h), 0);
    }
}

TEST_F(Handles, ModulesAreCheckedOnAdd) {
    const int single = qvxml_open("127.0.0.1", 80, nullptr, nullptr);
    ASSERT_GT(single, 0);
    EXPECT_EQ(qvxml_add_module(single, "10.0.0.1", 80, nullptr), -1);
    EXPECT_EQ(code_of(single), 16);
    EXPECT_EQ(qvxml_count_modules(single), -1);

    const int many = qvxml_open_many(nullptr);
    ASSERT_GT(many, 0);
    ASSERT_EQ(qvxml_wait_finish(many, 0, 5), 0);
    EXPECT_EQ(qvxml_type_of(many), 1);
    EXPECT_EQ(qvxml_add_module(many, "192.0.2.1", 80, nullptr), 0);
    EXPECT_EQ(qvxml_add_module(many, "192.0.2.1", 81, nullptr), 1);
    EXPECT_EQ(qvxml_add_module(many, "192.0.2.1", 80, nullptr), -1);
    EXPECT_EQ(code_of(many), 15);
    EXPECT_EQ(qvxml_add_module(many, std::string(100, 'x').c_str(), 80, nullptr), -1);
    EXPECT_EQ(code_of(many), 13);
    for (int i = 2; i < QVXML_MODULES_MAX; ++i) {
        ASSERT_EQ(qvxml_add_module(many, "192.0.2.1", 1000 + i, nullptr), i);
    }
    EXPECT_EQ(qvxml_add_module(many, "192.0.2.1", 5, nullptr), -1);
    EXPECT_EQ(code_of(many), 41);
    EXPECT_EQ(qvxml_count_modules(many), QVXML_MODULES_MAX);

    char host[100];
    char ip[16];
    int port = 0;
    ASSERT_EQ(qvxml_get_module_many_ex(many, 1, host, ip, &port), 0);
    EXPECT_STREQ(host, "192.0.2.1");
    EXPECT_STREQ(ip, "");
    EXPECT_EQ(port, 81);
    EXPECT_EQ(qvxml_get_module_many(many, QVXML_MODULES_MAX, ip, &port), -1);
    EXPECT_EQ(code_of(many), 3);
    EXPECT_EQ(qvxml_get_module(many, ip, &port), -1);
    EXPECT_EQ(code_of(many), 16);
    qvxml_error_record record{};
    EXPECT_EQ(qvxml_error_many(many, 0, &record), 0);
    EXPECT_EQ(qvxml_error_many(many, QVXML_MODULES_MAX, &record), -1);
    EXPECT_EQ(code_of(many), 4);
    EXPECT_EQ(qvxml_error_many(single, 0, &record), -1);
    EXPECT_EQ(qvxml_close(many), 0);
    EXPECT_EQ(qvxml_count_modules(many), -1);
}

TEST_F(Handles, RequestsAndResultsBeforeTheWorkerFinished) {
    HttpPeer peer([](const std::string &, int) {
        HttpReply r{{http_reply(200, values_doc)}};
        r.delay_ms = 1000;
        return r;
    });
    const int h = open_recorded(peer.port());
    ASSERT_EQ(qvxml_get_values(h), 0);
    // Once the request is on the wire the worker has cleared the record for
    // this operation, so what follows is the caller's own refusal.
    ASSERT_TRUE(peer.wait_requests(1, 5000));
    char *text = nullptr;
    int length = 0;
    EXPECT_EQ(qvxml_get_values_xml(h, &text, &length), -1);
    EXPECT_EQ(code_of(h), 1);
    EXPECT_EQ(qvxml_finish(h, 2), -1);
    ASSERT_EQ(qvxml_wait_finish(h, 2, 10), 0);
    // A wait after the end returns at once.
    EXPECT_EQ(qvxml_wait_finish(h, 3, 1), 0);
    EXPECT_EQ(qvxml_get_values_xml(h, &text, &length), 0);
}

TEST_F(Handles, LoadedDocumentsAreParsedWithoutNetwork) {
    const int h = open_recorded(free_port());
    EXPECT_EQ(qvxml_load_values(h, values_doc.c_str(), QVXML_BUFFER_SIZE), -1);
    EXPECT_EQ(code_of(h), 81);
    ASSERT_EQ(qvxml_load_values(h, values_doc.c_str(), static_cast<int>(values_doc.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 9, 5), 0);
    EXPECT_EQ(qvxml_finish(h, 2), 0);
    ASSERT_TRUE(events.wait_for("values", 1));
    qvxml_values values{};
    qvxml_values_counts counts{};
    ASSERT_EQ(qvxml_get_values_cache_copy(h, &values, &counts), 0);
    EXPECT_STREQ(values.Agent_Version, "1.2.3");
    EXPECT_EQ(counts.SenSet, 2);

    // A later document with fewer sensors leaves nothing of the earlier one.
    const std::string fewer = "<?xml version=\"1.0\"?><Root><SenSet><Entry><Name>only</Name>"
                              "</Entry></SenSet></Root>";
    ASSERT_EQ(qvxml_load_values(h, fewer.c_str(), static_cast<int>(fewer.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 9, 5), 0);
    ASSERT_EQ(qvxml_get_values_cache_copy(h, &values, &counts), 0);
    EXPECT_EQ(counts.SenSet, 1);
    EXPECT_STREQ(values.SenSet_Entry_Name[0], "only");
    EXPECT_STREQ(values.SenSet_Entry_Name[1], "");
    EXPECT_STREQ(values.Agent_Version, "");

    // A loaded text without a declaration is parsed but not handed out as XML.
    const std::string bare = "<Root><Agent><Version>3</Version></Agent></Root>";
    ASSERT_EQ(qvxml_load_setup(h, bare.c_str(), static_cast<int>(bare.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 10, 5), 0);
    char *text = nullptr;
    int length = 0;
    EXPECT_EQ(qvxml_get_setup_xml(h, &text, &length), -1);
    EXPECT_EQ(code_of(h), 11);
}

TEST_F(Handles, CallbackTableCanBeReplacedAndCleared) {
    const int h = qvxml_open("127.0.0.1", free_port(), nullptr, &events);
    ASSERT_GT(h, 0);
    ASSERT_EQ(qvxml_wait_finish(h, 0, 5), 0);
    qvxml_callbacks table = recorder::table();
    ASSERT_EQ(qvxml_callback(h, &table), 0);
    const std::string doc = values_doc;
    ASSERT_EQ(qvxml_load_values(h, doc.c_str(), static_cast<int>(doc.size())), 0);
    ASSERT_TRUE(events.wait_for("values", 1));
    ASSERT_EQ(qvxml_clr_callback(h, &table), 0);
    EXPECT_EQ(table.values_done, nullptr);
    ASSERT_EQ(qvxml_callback(h, &table), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 9, 5), 0);
    ASSERT_EQ(qvxml_load_values(h, doc.c_str(), static_cast<int>(doc.size())), 0);
    ASSERT_EQ(qvxml_wait_finish(h, 9, 5), 0);
    EXPECT_EQ(events.count("values"), 1u);
}

} // namespace
