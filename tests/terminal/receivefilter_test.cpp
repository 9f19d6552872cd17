#include "receivefilter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using kelvo::terminal::DisplayEdit;
using kelvo::terminal::LineEndFolder;
using kelvo::terminal::ReceiveFilter;

namespace {

// A display that behaves like the terminal's: append at the end, backspace
// removes the last character.
struct Screen {
    std::string text;
    int beeps = 0;

    void receive(ReceiveFilter &filter, const std::string &chunk) {
        for (const DisplayEdit &edit : filter.feed(chunk)) {
            switch (edit.kind) {
            case DisplayEdit::Kind::Append:
                text += edit.bytes;
                break;
            case DisplayEdit::Kind::Backspace:
                if (!text.empty()) {
                    text.pop_back();
                }
                break;
            case DisplayEdit::Kind::Beep:
                ++beeps;
                break;
            }
        }
    }
};

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

std::string show(std::initializer_list<std::string> chunks) {
    ReceiveFilter filter;
    Screen screen;
    for (const std::string &chunk : chunks) {
        screen.receive(filter, chunk);
    }
    return screen.text;
}

} // namespace

TEST(ReceiveFilter, HidesNegotiationWholeOrSplitAcrossChunks) {
    const std::string will = bytes({255, 251, 1});
    EXPECT_EQ(show({will + "login:"}), "login:");
    EXPECT_EQ(show({bytes({255}), bytes({251}), bytes({1}), "login:"}), "login:");
    // Several verbs back to back, and an option byte that looks like text.
    EXPECT_EQ(show({bytes({255, 253, 'A', 255, 252, 3, 255, 254}), bytes({31}) + "ok"}), "ok");
    // An option code of 255 is still the option, not a new IAC.
    EXPECT_EQ(show({bytes({255, 251, 255}) + "x"}), "x");
}

TEST(ReceiveFilter, StateReportsWhereASplitSequenceStopped) {
    ReceiveFilter filter;
    filter.feed(bytes({255}));
    EXPECT_EQ(filter.state(), ReceiveFilter::AfterIac);
    filter.feed(bytes({253}));
    EXPECT_EQ(filter.state(), ReceiveFilter::AfterVerb);
    filter.feed(bytes({24}));
    EXPECT_EQ(filter.state(), ReceiveFilter::Plain);
}

TEST(ReceiveFilter, IacNotFollowedByAVerbDropsOnlyTheIac) {
    EXPECT_EQ(show({bytes({255, 255, 65})}), "A");
    EXPECT_EQ(show({bytes({255}), bytes({255}), bytes({65})}), "A");
    // IAC SB: the 250 is an ordinary byte afterwards.
    EXPECT_EQ(show({bytes({255, 250, 'z'})}), bytes({250, 'z'}));
    // A control byte right after an IAC is still a control byte.
    EXPECT_EQ(show({bytes({'a', 'b', 255, 8})}), "a");
}

TEST(ReceiveFilter, BackspaceRemovesTheLastCharacterShown) {
    EXPECT_EQ(show({"ab\bc"}), "ac");
    EXPECT_EQ(show({"xy", "\b", "z"}), "xz");
    EXPECT_EQ(show({"\b\bq"}), "q");
    EXPECT_EQ(show({"abc\b\b\b\b"}), "");
}

TEST(ReceiveFilter, ControlBytesAreDroppedAndBellBeeps) {
    ReceiveFilter filter;
    Screen screen;
    screen.receive(filter, bytes({0, 9, 27, 1, 31, 127}));
    EXPECT_EQ(screen.text, bytes({127}));
    EXPECT_EQ(screen.beeps, 0);
    screen.receive(filter, bytes({'a', 7, 'b', 7}));
    EXPECT_EQ(screen.text, bytes({127, 'a', 'b'}));
    EXPECT_EQ(screen.beeps, 2);
}

TEST(ReceiveFilter, DropsTerminalEscapeSequencesWholeOrSplit) {
    const struct {
        std::initializer_list<std::string> chunks;
        std::string shown;
    } cases[] = {
        {{"\x1b[1mBOLD\x1b[0m"}, "BOLD"},
        {{"a\x1b[", "38;5;", "196mb"}, "ab"},
        {{"\x1b]0;title\x07x"}, "x"},
        {{"\x1b]2;t", "\x1b", "\\y"}, "y"},
        {{"\x1b(B\x1b"
          "7z\x1b[m"},
         "z"},
        // A line end breaks off an unfinished sequence; the rest still shows.
        {{"\x1b]0;never ends\r\nok"}, "\r\nok"},
        {{"\x1b[12\nq"}, "\nq"},
        // Telnet negotiation inside a sequence is still hidden.
        {{"\x1b[" + bytes({255, 251, 1}) + "1mw"}, "w"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(show(c.chunks), c.shown) << *c.chunks.begin();
    }
}

TEST(ReceiveFilter, KeepsLineEndsAndHighBytes) {
    EXPECT_EQ(show({bytes({'a', 13, 10, 'b', 0xE9, 0xFE})}), bytes({'a', 13, 10, 'b', 0xE9, 0xFE}));
}

TEST(ReceiveFilter, EmitsEditsInArrivalOrder) {
    ReceiveFilter filter;
    const auto edits = filter.feed("ab\bc");
    ASSERT_EQ(edits.size(), 3u);
    EXPECT_EQ(edits[0].kind, DisplayEdit::Kind::Append);
    EXPECT_EQ(edits[0].bytes, "ab");
    EXPECT_EQ(edits[1].kind, DisplayEdit::Kind::Backspace);
    EXPECT_EQ(edits[2].bytes, "c");
    EXPECT_TRUE(filter.feed(bytes({255, 251, 1})).empty());
}

TEST(LineEndFolder, EachKindOfLineEndGivesOneBreak) {
    LineEndFolder folder;
    EXPECT_EQ(folder.fold("a\r\nb\nc\rd"), "a\nb\nc\nd");
    EXPECT_EQ(folder.fold("e\r"), "e\n");
    EXPECT_EQ(folder.fold("\nf"), "f"); // CR LF split over two chunks
    EXPECT_EQ(folder.fold("\r\r\n\n"), "\n\n\n");
    folder.fold("g\r");
    folder.reset();
    EXPECT_EQ(folder.fold("\n"), "\n");
}

TEST(WrapLongLines, NoLineGrowsPastTheBound) {
    const struct {
        const char *text;
        std::size_t column;
        const char *wrapped;
        std::size_t after;
    } cases[] = {
        {"abcdefg", 0, "abcd\nefg", 3},
        {"ab\ncdefgh", 3, "a\nb\ncdef\ngh", 2},
        {"abcd\n", 0, "abcd\n", 0},
        {"", 4, "", 4},
    };
    for (const auto &c : cases) {
        std::size_t column = c.column;
        EXPECT_EQ(kelvo::terminal::WrapLongLines(c.text, column, 4), c.wrapped) << c.text;
        EXPECT_EQ(column, c.after) << c.text;
    }
}
