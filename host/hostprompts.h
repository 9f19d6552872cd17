// The questions and error messages of the address checks. The checks never
// talk to a toolkit themselves: the GUI implements this with message boxes,
// the CLI with its console and the tests with scripted answers.
#ifndef KELVO_HOSTPROMPTS_H
#define KELVO_HOSTPROMPTS_H

#include <string>

namespace kelvo::host {

class HostPrompts {
public:
    virtual ~HostPrompts() = default;

    // Error box with one OK button. `text` is shown as given.
    virtual void error(const std::string &text) = 0;

    // Yes/No box captioned "Confirmation" with a question icon, No as the
    // default button and no owner window. Returns true only for Yes.
    // `text` may hold "\r\n" line breaks, which are part of the message.
    virtual bool confirm(const std::string &text) = 0;

    // The out-of-range confirmation dialog (`TConfirmForm` in the GUI, owned by
    // the main window) for a device at `ipText` outside the PC's network
    // `networkText` (e.g. "192.168.1.X"). Returns true only for Yes.
    virtual bool confirmOutOfRange(const std::string &ipText, const std::string &networkText) = 0;
};

} // namespace kelvo::host

#endif
