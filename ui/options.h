// The program's command line: "--relay ADDR:PORT" points the window at
// another relay (tests and the demo; without it the program uses
// 127.0.0.1:9999), "--language CODE" chooses the window's language over the
// system's, "--help" and "--version" print and end the program (in English,
// as scripts read them).
#ifndef KELVO_UI_OPTIONS_H
#define KELVO_UI_OPTIONS_H

#include "mainform.h"

#include <QStringList>

namespace kelvo::ui {

// Reads the arguments after the program name into `options`. False with
// `error` set for an unknown option, a stray argument, or a relay address that
// is not a dotted IPv4 address followed by ":" and a port 1 to 65535. With
// --help or --version it returns true and sets `exitText` to what the program
// prints before it ends (empty otherwise).
bool ParseCommandLine(const QStringList &arguments, MainOptions &options, QString *error,
                      QString *exitText = nullptr);

} // namespace kelvo::ui

#endif
