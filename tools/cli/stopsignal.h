// A request to stop from outside: SIGINT or SIGTERM on POSIX systems, Ctrl+C,
// Ctrl+Break or closing the console on Windows. A long-running command
// (watch) ends cleanly on it instead of being killed mid-write.
//
// Threading: one object per process, used from the thread that runs the
// command; the handler only records the request.
#ifndef KELVO_CLI_STOPSIGNAL_H
#define KELVO_CLI_STOPSIGNAL_H

#include <string>

namespace kelvo::cli {

class StopSignal {
public:
    StopSignal() = default;
    // Gives the signals their earlier handling back.
    ~StopSignal();
    StopSignal(const StopSignal &) = delete;
    StopSignal &operator=(const StopSignal &) = delete;

    // Catches the stop signals from now on; false with `error` when it
    // cannot.
    bool Start(std::string *error);
    // Waits at most `ms` milliseconds; true as soon as a stop was asked for
    // (also one asked for before the call).
    bool Wait(int ms);
    bool Requested() { return Wait(0); }

private:
    bool started = false;
};

} // namespace kelvo::cli

#endif
