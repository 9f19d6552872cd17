#include "console.h"

#include "textutil.h"

namespace kelvo::cli {

void Console::closeLine() {
    if (lineOpen) {
        err << '\n';
        lineOpen = false;
    }
}

void Console::progress(const std::string &stage, const std::string &detail) {
    if (quiet)
        return;
    if (terminal) {
        err << '\r' << Visible(stage + detail) << "\x1b[K" << std::flush;
        lineOpen = true;
    } else if (stage != lastStage) {
        err << Visible(stage) << '\n' << std::flush;
    }
    lastStage = stage;
}

void Console::progressDone(const std::string &text) {
    if (!quiet) {
        if (terminal)
            err << '\r' << Visible(text) << "\x1b[K\n";
        else
            err << Visible(text) << '\n';
        err.flush();
    }
    lineOpen = false;
    lastStage.clear();
}

void Console::error(const std::string &text) {
    closeLine();
    err << "kelvo-cli: " << Visible(text) << '\n' << std::flush;
}

void Console::note(const std::string &text) {
    closeLine();
    err << "kelvo-cli: " << Visible(text) << '\n' << std::flush;
}

} // namespace kelvo::cli
