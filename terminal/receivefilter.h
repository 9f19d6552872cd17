// Receive side of the TCP setup terminal: strips Telnet option negotiation,
// terminal escape sequences and control bytes from what a device sends and turns the rest into
// display edits. Plain C++ with no Qt, so it runs and is tested without a window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::terminal {

// One thing the display has to do, in the order the bytes arrived.
struct DisplayEdit {
    enum class Kind {
        Append,    // append `bytes` (Latin-1, CR and LF kept as received)
        Backspace, // delete the last character of the display, if any
        Beep,      // sound the system beep
    };
    Kind kind;
    std::string bytes; // only for Append
};

// Filters a TCP byte stream chunk by chunk. The Telnet state survives between
// chunks, so a negotiation split over several reads is hidden as a whole.
// Not thread-safe; one instance per connection.
class ReceiveFilter {
public:
    enum State : int {
        Plain = 0,     // ordinary data
        AfterVerb = 1, // IAC and WILL/WONT/DO/DONT seen: the option byte is next
        AfterIac = 2,  // an IAC byte has just been seen
    };

    // Runs one received chunk through the filter and returns the display edits
    // it causes (possibly none).
    std::vector<DisplayEdit> feed(std::string_view chunk);

    State state() const { return state_; }
    void reset() {
        state_ = Plain;
        escape_ = NoEscape;
    }

private:
    // Terminal escape sequences (ESC [ ... final, ESC ] ... BEL or ESC \,
    // ESC with intermediates and a final byte) style a screen this display
    // does not have: they are dropped whole, never answered.
    enum Escape { NoEscape, AfterEsc, Intermediate, Csi, Osc, OscAfterEsc };
    // True when `byte` belongs to an escape sequence and is dropped.
    bool swallowEscape(unsigned char byte);

    State state_ = Plain;
    Escape escape_ = NoEscape;
};

// Turns the line ends of appended text into '\n' for a display that keeps one
// line per block: CR, LF and CR LF each give one line break, also when the CR
// and the LF arrive in different chunks. Other bytes pass unchanged.
class LineEndFolder {
public:
    std::string fold(std::string_view bytes);
    // Forget a pending CR (the display changed under it, e.g. by a backspace).
    void reset() { afterCr_ = false; }

private:
    bool afterCr_ = false;
};

// Longest line the display keeps as one. Laying out a line costs the window
// time in proportion to its length on every append, so a device that sends
// no line feed gets its text wrapped here instead of freezing the window.
constexpr std::size_t kDisplayLineMax = 1024;

// `text` (line ends folded to '\n') with a '\n' added wherever a line would
// grow past `max` characters. `column` is the length of the line the text
// continues, and becomes the length of its last line.
std::string WrapLongLines(std::string_view text, std::size_t &column,
                          std::size_t max = kDisplayLineMax);

} // namespace kelvo::terminal
