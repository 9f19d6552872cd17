// Where a command writes: results to `out`, progress and errors to `err`.
//
// Threading: one console per command, used from the thread that runs it.
#ifndef KELVO_CLI_CONSOLE_H
#define KELVO_CLI_CONSOLE_H

#include "qvtext.h"
#include <ostream>
#include <string>

namespace kelvo::cli {

// Exit codes of kelvo-cli, the same for every command.
enum ExitCode : int {
    kExitOk = 0,           // done (for set and defaults: confirmed by a new search)
    kExitFailed = 1,       // the network, the device, a library or a file failed
    kExitUsage = 2,        // bad command line, or a change the device cannot take
    kExitNotFound = 3,     // no device with that MAC address answered the search
    kExitNotConfirmed = 4, // the setup went out but the device does not report it
    kExitRefused = 5,      // a check or question refused the new settings
    kExitAuth = 6,         // credentials missing, or refused by the device
    kExitPartial = 7,      // some devices done, others not (backup, set of several)
    kExitDropped = 8,      // search: more devices answered than the list holds
    kExitNoRelay = 9,      // no relay answers on the relay's address (and no --direct)
};

class Console {
public:
    // `terminal`: `err` is a terminal, so progress redraws one line in place;
    // otherwise each new stage of a progress is printed once, on its own line.
    Console(std::ostream &out_, std::ostream &err_, bool terminal_, bool quiet_)
        : out(out_), err(err_), terminal(terminal_), quiet(quiet_) {}

    // Shows `stage` (for example "Searching modules") with `detail` (a
    // spinner character or a count) behind it.
    void progress(const std::string &stage, const std::string &detail);
    // Ends the progress line with `text`.
    void progressDone(const std::string &text);
    // "kelvo-cli: <text>" on `err`, after ending any open progress line.
    void error(const std::string &text);
    // A note on `err` that is not an error (same prefix), also when quiet.
    void note(const std::string &text);

    std::ostream &out;
    std::ostream &err;

private:
    void closeLine();

    bool terminal;
    bool quiet;
    bool lineOpen = false;
    std::string lastStage;
};

// The spinner of the main window's progress texts.
inline char Spinner(unsigned tick) {
    return qv::spinner_char(tick);
}

} // namespace kelvo::cli

#endif
