#include "hostmacfilter.h"
#include "hostplatform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

using namespace kelvo::host;

namespace {

class MacFilterTest : public ::testing::Test {
protected:
    void SetUp() override { MacFilter.clear(); }
    void TearDown() override { MacFilter.clear(); }
};

std::string tempFile(const std::string &name, const std::string &bytes) {
    const std::string path = ::testing::TempDir() + "kelvo_host_" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Each address against whether the loaded filter hides it.
void ExpectFiltered(std::initializer_list<std::pair<const char *, bool>> macs) {
    for (const auto &[mac, hidden] : macs)
        EXPECT_EQ(IsMacFiltered(mac), hidden) << mac;
}

} // namespace

TEST_F(MacFilterTest, SingleAddressInEitherCase) {
    EXPECT_EQ(LoadMacFilter({"02:00:00:00:00:01", "\t02:00:00:00:ab:cd "}), 2);
    ExpectFiltered({{"02:00:00:00:00:01", true},
                    {"02:00:00:00:00:00", false},
                    {"02:00:00:00:00:02", false},
                    {"02:00:00:00:AB:CD", true},
                    {"02:00:00:00:ab:cd", true},
                    {"02:00:00:00:AB:CE", false}});
}

TEST_F(MacFilterTest, RangeWithBlanksCoversBothEnds) {
    EXPECT_EQ(LoadMacFilter({"  02:00:00:00:00:00 - 02:00:00:00:FF:FF  ",
                             "0a:00:00:00:00:10\t-\t0a:00:00:00:00:1f"}),
              2);
    ExpectFiltered({{"02:00:00:00:00:00", true},
                    {"02:00:00:00:12:34", true},
                    {"02:00:00:00:FF:FF", true},
                    {"01:FF:FF:FF:FF:FF", false},
                    {"02:00:00:01:00:00", false},
                    {"0A:00:00:00:00:1F", true},
                    {"0A:00:00:00:00:20", false}});
}

TEST_F(MacFilterTest, CommentsAndMalformedLinesAreSkipped) {
    EXPECT_EQ(LoadMacFilter({
                  "",
                  "# 02:00:00:00:00:01",
                  "#02:00:00:00:00:02",
                  "  # 02:00:00:00:00:03",
                  "02-00-00-00-00-04",
                  "020000000005",
                  "02:00:00:00:00:6",
                  "02:00:00:00:00:07x",
                  "02:00:00:00:00:08 # note",
                  "02:00:00:00:00:09 -",
                  "02:00:00:00:00:0g",
              }),
              0);
    EXPECT_TRUE(MacFilter.empty());
    for (const char *mac : {"02:00:00:00:00:01", "02:00:00:00:00:04", "02:00:00:00:00:08"})
        EXPECT_FALSE(IsMacFiltered(mac)) << mac;
}

TEST_F(MacFilterTest, ReversedAndTruncatedRangesHideNothing) {
    // Both are kept as entries, they just match nothing.
    EXPECT_EQ(LoadMacFilter(
                  {"02:00:00:00:FF:FF-02:00:00:00:00:00", "02:00:00:00:00:00 - 02:00:00:00:00:"}),
              2);
    for (const char *mac : {"02:00:00:00:00:00", "02:00:00:00:80:00", "02:00:00:00:FF:FF",
                            "00:02:00:00:00:00", "00:00:00:00:00:00"})
        EXPECT_FALSE(IsMacFiltered(mac)) << mac;
}

TEST_F(MacFilterTest, MalformedMacTextIsNeverFiltered) {
    LoadMacFilter({"00:00:00:00:00:00-FF:FF:FF:FF:FF:FF"});
    ExpectFiltered({
        {"12:34:56:78:9A:BC", true},
        {"", false},
        {"12-34-56-78-9A-BC", false},
        {"1:2:3:4:5:6:7:8:9:a:b:c:d:e:f:1:2", false}, // more than 64 bits
    });
}

TEST_F(MacFilterTest, FileWithByteOrderMarksAndLineEnds) {
    const std::string utf8 = tempFile(
        "utf8.filter", "\xEF\xBB\xBF"
                       "02:00:00:00:00:01\r\n# comment\r\n02:00:00:00:00:10-02:00:00:00:00:20\r"
                       "02:00:00:00:00:30\n02:00:00:00:00:40");
    EXPECT_EQ(LoadMacFilterFile(utf8), 4) << "the mark must not spoil the first line";
    ExpectFiltered({{"02:00:00:00:00:01", true},
                    {"02:00:00:00:00:15", true},
                    {"02:00:00:00:00:30", true},
                    {"02:00:00:00:00:40", true}});

    MacFilter.clear();
    const std::string ascii = "02:00:00:00:00:50\r\n";
    std::string utf16("\xFF\xFE", 2);
    for (char c : ascii)
        utf16 += std::string{c, '\0'};
    EXPECT_EQ(LoadMacFilterFile(tempFile("utf16.filter", utf16)), 1);
    EXPECT_TRUE(IsMacFiltered("02:00:00:00:00:50"));

    EXPECT_EQ(LoadMacFilterFile(::testing::TempDir() + "kelvo_host_missing.filter"), 0);
    EXPECT_EQ(LoadMacFilterFile(""), 0);
    std::remove(utf8.c_str());
}

TEST_F(MacFilterTest, OnlyBoundedRegularFilesAreRead) {
    const std::string fifo = ::testing::TempDir() + "kelvo_host_filter.fifo";
    std::remove(fifo.c_str());
    const std::string big =
        tempFile("big.filter", std::string(kMacFilterFileMax, '#') + "\n02:00:00:00:00:01\n");
    struct Case {
        std::string path;
        const char *says;
    };
    std::vector<Case> cases = {{::testing::TempDir(), "not a regular file"},
                               {big, "larger than 1048576 bytes"}};
#ifdef _WIN32
    cases.push_back({"NUL", "not a regular file"});
#else
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    cases.push_back({fifo, "not a regular file"});
    cases.push_back({"/dev/zero", "not a regular file"});
#endif
    for (const auto &c : cases) {
        std::string error;
        EXPECT_EQ(LoadMacFilterFile(c.path, &error), 0) << c.path;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.path << ": " << error;
    }
    std::string error;
    EXPECT_EQ(LoadMacFilterFile(::testing::TempDir() + "kelvo_host_missing.filter", &error), 0);
    EXPECT_EQ(error, "");
    std::remove(fifo.c_str());
    std::remove(big.c_str());
}

TEST(MacFilterFileName, BesideTheProgram) {
    const std::string program = platform::ProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_NE(program.find("host_checks_test"), std::string::npos) << program;
    std::string stem = program;
#ifdef _WIN32
    stem.erase(stem.rfind('.')); // kelvo.filter beside kelvo.exe
#endif
    EXPECT_EQ(MacFilterFileName(), stem + ".filter");
}

TEST_F(MacFilterTest, UserFileLiesInTheConfigFolderSharedWithTheWindow) {
#ifdef _WIN32
    GTEST_SKIP() << "the XDG configuration folder is a Linux convention";
#else
    const std::string config = ::testing::TempDir() + "kelvo_host_config";
    std::filesystem::create_directories(config + "/Marvane");
    std::ofstream(config + "/Marvane/Kelvo.filter") << "02:00:00:00:00:07\n";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(UserMacFilterFileName(), config + "/Marvane/Kelvo.filter");
    EXPECT_GE(LoadDefaultMacFilters(), 1);
    EXPECT_TRUE(IsMacFiltered("02:00:00:00:00:07"));
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(UserMacFilterFileName(), "/home/someone/.config/Marvane/Kelvo.filter");
#endif
}
