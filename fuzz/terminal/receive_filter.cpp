// Everything a device sends to the TCP setup window passes the receive
// filter, in chunks cut wherever the network cut them. The display edits
// must not depend on the cut, and no control byte other than CR, LF,
// backspace and the bell may get through.
#include "receivefilter.h"
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using kelvo::terminal::DisplayEdit;
using kelvo::terminal::ReceiveFilter;

namespace {

// Applies edits to a model of the display (a byte string).
void apply(const std::vector<DisplayEdit> &edits, std::string &display, int &beeps) {
    for (const DisplayEdit &e : edits) {
        switch (e.kind) {
        case DisplayEdit::Kind::Append:
            FUZZ_REQUIRE(!e.bytes.empty());
            for (unsigned char c : e.bytes)
                FUZZ_REQUIRE(c == '\n' || c == '\r' || (c >= 32 && c != 255));
            display += e.bytes;
            break;
        case DisplayEdit::Kind::Backspace:
            if (!display.empty())
                display.pop_back();
            break;
        case DisplayEdit::Kind::Beep:
            ++beeps;
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    unsigned seed = data[0] | 1u;
    const std::string_view stream(reinterpret_cast<const char *>(data + 1), size - 1);

    ReceiveFilter whole;
    std::string display_whole;
    int beeps_whole = 0;
    apply(whole.feed(stream), display_whole, beeps_whole);

    ReceiveFilter pieces;
    std::string display_pieces;
    int beeps_pieces = 0;
    size_t pos = 0;
    while (pos < stream.size()) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(stream.size() - pos, 1 + (seed >> 16) % 7);
        apply(pieces.feed(stream.substr(pos, n)), display_pieces, beeps_pieces);
        pos += n;
    }
    FUZZ_REQUIRE(display_whole == display_pieces);
    FUZZ_REQUIRE(beeps_whole == beeps_pieces);
    FUZZ_REQUIRE(whole.state() == pieces.state());

    // The line-end folding of the window gives the same text however the
    // appended bytes are cut, too.
    kelvo::terminal::LineEndFolder one;
    kelvo::terminal::LineEndFolder many;
    const std::string folded = one.fold(display_whole);
    std::string folded_pieces;
    for (size_t i = 0; i < display_whole.size(); i += 3)
        folded_pieces += many.fold(std::string_view(display_whole).substr(i, 3));
    FUZZ_REQUIRE(folded == folded_pieces);
    FUZZ_REQUIRE(folded.find('\r') == std::string::npos);
    return 0;
}
