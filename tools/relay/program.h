// The kelvo-relay program: its portable part (main.cpp) and the platform's
// (main_posix.cpp, main_win32.cpp).
#ifndef KELVO_RELAY_PROGRAM_H
#define KELVO_RELAY_PROGRAM_H

#include "relay.h"

#include <QCommandLineOption>
#include <QList>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace kelvo::relay {

// The options only this platform has.
QList<QCommandLineOption> platform_options();

// Serves with `options` until told to stop, or does what the platform's
// options ask for (`given`: those of them on the command line, `relay_arguments`:
// the relay's own arguments as given). The program's exit code.
int serve(const Options &options, const QStringList &given, const QStringList &relay_arguments);

// Opens the listening socket (or serves on `inherited`, see inherited_socket),
// says "kelvo-relay listening ADDR:PORT" on `out`, calls `listening`, serves
// until `stop`, and tells the counts on options.log. The exit code: 1 when it
// cannot listen.
int run_relay(const Options &options, StopHandle stop, int inherited, std::FILE *out,
              const std::function<void()> &listening = {});

} // namespace kelvo::relay

#endif
