// Lists as text for people and spreadsheets: aligned tables, CSV written and
// read, and device texts made safe for a terminal. Shared by the command line
// and the window.
//
// Threading: pure functions; any thread.
#ifndef KELVO_HOST_TABLETEXT_H
#define KELVO_HOST_TABLETEXT_H

#include <string>
#include <string_view>
#include <vector>

namespace kelvo::host {

// Width of a UTF-8 text in characters (code points), for table columns.
std::size_t DisplayWidth(const std::string &text);

// `text` safe to show on a terminal, in a table, a CSV file or a log line:
// control characters (C0, DEL) and bytes that are not UTF-8 are written as
// \xHH, C1 control characters and the invisible or reordering characters
// (bidi overrides, embeddings, isolates and marks, zero-width characters,
// line and paragraph separators, the byte order mark) as \uHHHH, so a device
// name cannot clear the screen, set a title, ring the bell, forge a line or
// hide text. The C0 characters in `keep` pass raw (CSV quoting carries them).
std::string Visible(const std::string &text, std::string_view keep = {});

// A CSV cell that a spreadsheet will not run as a formula: a cell starting
// with "=", "+", "-", "@", tab, CR or "'" gets a leading "'". A plain decimal
// number (-5.2) is no formula and stays as it is.
std::string CsvSafe(const std::string &text);

// A cell as it was before CsvSafe: CsvUnprotected(CsvSafe(t)) == t for
// every t.
std::string CsvUnprotected(const std::string &cell);

// What FormatCsv writes for `text` before CsvSafe: Visible() but for tab and
// line breaks, which CSV quoting carries.
std::string CsvText(const std::string &text);

// One CSV field, quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string &text);

// Splits CSV text into records of fields: "," between fields, "\r\n" or
// "\n" between records, fields in double quotes may hold both and "" for a
// quote; a leading UTF-8 byte order mark is skipped. Blank lines are left
// out. `lines` gets each record's first line number. False with `error`
// (naming the line) for an open quote or text after a closing quote.
bool SplitCsv(const std::string &text, std::vector<std::vector<std::string>> &records,
              std::vector<int> &lines, std::string *error);

// A table: a header row and data rows, columns padded to their widest cell
// and separated by two blanks; no trailing blanks. Cells are shown Visible().
std::string FormatTable(const std::vector<std::string> &header,
                        const std::vector<std::vector<std::string>> &rows);

// The same rows as CSV lines ("\n" line ends), each cell CsvSafe(CsvText()).
std::string FormatCsv(const std::vector<std::string> &header,
                      const std::vector<std::vector<std::string>> &rows);

} // namespace kelvo::host

#endif
