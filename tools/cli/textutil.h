// Small text helpers of the command line: numbers, addresses and UTF-8 cuts;
// tables and CSV come from the shared tabletext.h.
//
// Threading: pure functions; any thread.
#ifndef KELVO_CLI_TEXTUTIL_H
#define KELVO_CLI_TEXTUTIL_H

#include "tabletext.h"

#include <string>
#include <vector>

namespace kelvo::cli {

// Reads a whole decimal number `low` to `high` (no sign, no blanks).
bool ParseNumber(const std::string &text, int low, int high, int *value);

// Four decimal numbers 0 to 255 joined by ".", nothing else.
bool IsDottedIPv4(const std::string &text);

// "on"/"off" (also yes/no, 1/0, true/false) as a switch.
bool ParseSwitch(const std::string &text, bool *value);

// `text` cut to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string &text, std::size_t maxBytes);

// The table and CSV texts are shared with the window.
using host::CsvField;
using host::CsvSafe;
using host::CsvText;
using host::CsvUnprotected;
using host::DisplayWidth;
using host::FormatCsv;
using host::FormatTable;
using host::SplitCsv;
using host::Visible;

} // namespace kelvo::cli

#endif
