// kelvo-cli's commands: search, set, defaults, download, upload, backup,
// values, one file each in commands/ on the frame of command.h. Each writes
// results to `out` and progress and errors to `err`, and returns an ExitCode
// (console.h).
//
// Threading: the thread that owns the QCoreApplication; one command at a time
// per process (the discovery library is one instance per process).
#ifndef KELVO_CLI_COMMANDS_H
#define KELVO_CLI_COMMANDS_H

#include "discovery.h"
#include "hostadapter.h"

#include <QStringList>

#include <functional>
#include <ostream>
#include <string>

namespace kelvo::cli {

// What a command takes from the machine; tests replace these.
struct Environment {
    // The ping test of `set --check` (host::PingAddress when empty).
    host::PingFunction ping;
    // Lists the PC's adapters for `set --check` (the system's when empty).
    host::AdapterLister adapters;
    // The MAC filter file (host::MacFilterFileName() when empty).
    std::string filterFile;
    // The error stream is a terminal: progress redraws one line.
    bool terminal = false;
    // Devices a search keeps; more that answer are counted as dropped.
    int capacity = kCliCapacity;
};

// Runs the command line `args` (without the program name).
int RunCli(const QStringList &args, std::ostream &out, std::ostream &err, const Environment &env);

} // namespace kelvo::cli

#endif
