#include "macrotranslate.h"

#include <gtest/gtest.h>

#include <string>

using kelvo::terminal::kMacroHelpText;
using kelvo::terminal::kMacroMaxBytes;
using kelvo::terminal::macroErrorMessage;
using kelvo::terminal::MacroResult;
using kelvo::terminal::translateEscapedMacro;
using kelvo::terminal::translateHexMacro;
using Error = MacroResult::Error;

namespace {

std::string sent(const MacroResult &r) {
    EXPECT_TRUE(r.ok()) << "error " << static_cast<int>(r.error);
    return r.bytes;
}

std::string repeat(const std::string &s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

const char *const kHelp =
    "Use ASCII directly, to transmit chars \"#\",\"$\" and \"<\" you have to double them (to "
    "transmit \"T#B\" insert \"T##B\" e.g.) With checked \"HEX\" you can insert \"48 65 79 20 59 "
    "6F "
    "75\" or without spaces \"48657920596F75\" to transmit \"Hey You\". You can also send HEXa "
    "characters with \"$\" prefix (\"Hey Y$6Fu\" e.g.) or DECIMAL numbers with \"#\" prefix (\"Hey "
    "Y#111u\" e.g.) Special ASCII sequences you can send as <LF>, <NUL>, <Xon>, and that's "
    "continue...";

} // namespace

TEST(EscapedMacro, PlainTextAndDoubledEscapeCharacters) {
    EXPECT_EQ(sent(translateEscapedMacro("T##B")), "T#B");
    EXPECT_EQ(sent(translateEscapedMacro("1$$2<<A")), "1$2<A");
    EXPECT_EQ(sent(translateEscapedMacro("a>b")), "a>b");
    EXPECT_EQ(sent(translateEscapedMacro("")), "");
    // Bytes of a UTF-8 text pass as they are.
    EXPECT_EQ(sent(translateEscapedMacro("\xC3\xA9")), "\xC3\xA9");
}

TEST(EscapedMacro, DecimalAndHexadecimalEscapes) {
    EXPECT_EQ(sent(translateEscapedMacro("Hey Y#111u")), "Hey You");
    EXPECT_EQ(sent(translateEscapedMacro("Hey Y$6Fu")), "Hey You");
    EXPECT_EQ(sent(translateEscapedMacro("#065")), "A");
    EXPECT_EQ(sent(translateEscapedMacro("#000#255")), std::string("\0\xFF", 2));
    EXPECT_EQ(sent(translateEscapedMacro("$4a$4A")), "\x4A\x4A");
    EXPECT_EQ(sent(translateEscapedMacro("$ff$0d")), "\xFF\r");
}

TEST(EscapedMacro, BrokenEscapesAreFormatErrors) {
    for (const char *text : {"#65", "#", "#6a5", "#12#", "$4 ", "$", "$g0", "$4$", "<>", "<A", "<",
                             "<a#>", "<a$>", "<a<b>", "#<", "$>"}) {
        const MacroResult r = translateEscapedMacro(text);
        EXPECT_EQ(r.error, Error::Format) << text;
        EXPECT_TRUE(r.bytes.empty()) << text;
    }
}

TEST(EscapedMacro, DecimalValueAboveAByteNamesTheDigits) {
    const MacroResult r = translateEscapedMacro("ok#300");
    EXPECT_EQ(r.error, Error::DecimalRange);
    EXPECT_TRUE(r.bytes.empty());
    const auto message = macroErrorMessage(r);
    EXPECT_EQ(message.title, "Send");
    EXPECT_EQ(message.text, "Decimal number 300 not valid value ASCII char!");
    EXPECT_EQ(translateEscapedMacro("#256").error, Error::DecimalRange);
}

TEST(EscapedMacro, AsciiNamesInAnyCase) {
    EXPECT_EQ(sent(translateEscapedMacro("<cr><LF>")), "\r\n");
    EXPECT_EQ(sent(translateEscapedMacro("<Xon>")), "\x11");
    EXPECT_EQ(sent(translateEscapedMacro("<xoff>")), "\x13");
    EXPECT_EQ(sent(translateEscapedMacro("<NUL><ht><Esc><SYN><us><dc1>")),
              std::string("\0\t\x1B\x16\x1F\x11", 6));
    EXPECT_EQ(sent(translateEscapedMacro("x<bel>>")), "x\a>");
}

TEST(EscapedMacro, UnknownNameIsReportedAsTyped) {
    for (const char *name : {"ABC", "abc", "DEL", "LF "}) {
        const MacroResult r = translateEscapedMacro(std::string("<") + name + ">");
        EXPECT_EQ(r.error, Error::UnknownName) << name;
        const auto message = macroErrorMessage(r);
        EXPECT_EQ(message.title, "Send");
        EXPECT_EQ(message.text, std::string("ASCII name <") + name + "> not exists!");
    }
}

TEST(EscapedMacro, RefusesMoreThanTheBufferHolds) {
    EXPECT_EQ(sent(translateEscapedMacro(std::string(kMacroMaxBytes, 'x'))).size(), kMacroMaxBytes);
    for (const std::string &text :
         {std::string(kMacroMaxBytes + 1, 'x'), repeat("#255", kMacroMaxBytes + 1),
          repeat("<cr>", kMacroMaxBytes) + "$$", repeat("##", kMacroMaxBytes + 1)}) {
        const MacroResult r = translateEscapedMacro(text);
        EXPECT_EQ(r.error, Error::TooLong);
        EXPECT_TRUE(r.bytes.empty());
    }
    const auto message = macroErrorMessage(translateEscapedMacro(repeat("$41", 300)));
    EXPECT_EQ(message.title, "Send");
    EXPECT_NE(message.text.find("256"), std::string::npos);
}

TEST(HexMacro, PairsWithOrWithoutSpaces) {
    EXPECT_EQ(sent(translateHexMacro("48 65 79")), "Hey");
    EXPECT_EQ(sent(translateHexMacro("486579")), "Hey");
    EXPECT_EQ(sent(translateHexMacro(" 4 8  6A ff ")), "\x48\x6A\xFF");
    EXPECT_EQ(sent(translateHexMacro("00")), std::string(1, '\0'));
}

TEST(HexMacro, MalformedDataIsAFormatError) {
    for (const char *text : {"486", "48 6G", "", "   ", "4", "48\t65", "0x48", "48-65"}) {
        const MacroResult r = translateHexMacro(text);
        EXPECT_EQ(r.error, Error::HexFormat) << text;
        EXPECT_TRUE(r.bytes.empty()) << text;
    }
}

TEST(HexMacro, LongLinesAreSentWholeOrRefused) {
    // 100 bytes written with spaces: longer than 255 characters, all sent.
    EXPECT_EQ(sent(translateHexMacro(repeat("41 ", 100))), std::string(100, 'A'));
    EXPECT_EQ(sent(translateHexMacro(repeat("7e", kMacroMaxBytes))).size(), kMacroMaxBytes);
    EXPECT_EQ(translateHexMacro(repeat("7e", kMacroMaxBytes + 1)).error, Error::TooLong);
}

TEST(MacroMessages, FormatErrorsShowTheHelpText) {
    EXPECT_STREQ(kMacroHelpText, kHelp);
    const auto escaped = macroErrorMessage(translateEscapedMacro("#65"));
    EXPECT_EQ(escaped.title, "Macro string format error");
    EXPECT_EQ(escaped.text, kHelp);
    const auto hex = macroErrorMessage(translateHexMacro("486"));
    EXPECT_EQ(hex.title, "Hexadecimal data format error");
    EXPECT_EQ(hex.text, kHelp);
}
