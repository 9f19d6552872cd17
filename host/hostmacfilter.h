// The MAC filter list: devices whose MAC address lies in one of the listed
// ranges are left out of the device table.
//
// Threading: MacFilter is filled once at start-up (LoadMacFilter /
// LoadMacFilterFile) before the first search and only read afterwards;
// IsMacFiltered may then run on any thread. Loading while another thread tests
// is not safe.
#ifndef KELVO_HOSTMACFILTER_H
#define KELVO_HOSTMACFILTER_H

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo::host {

// A range of 48-bit MAC addresses read as one number each, ends included.
// A range whose low is above its high matches nothing.
struct MacRange {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
};

// The ranges in file order, for the life of the process.
extern std::vector<MacRange> MacFilter;

// Appends the ranges of all valid lines to MacFilter: one MAC address
// ("02:00:00:00:00:01", either case, blanks and tabs around it) or two joined
// by "-". Empty lines, lines starting with "#" and anything else are skipped.
// Returns the number of ranges appended.
int LoadMacFilter(const std::vector<std::string> &lines);

// True when the MAC address text ("02:00:00:00:00:01") lies in a range of
// MacFilter. A text that is not a hexadecimal number once its ":" are removed
// is never filtered.
bool IsMacFiltered(const std::string &macText);

// Largest filter file read: far above any list of ranges a site keeps.
constexpr std::size_t kMacFilterFileMax = 1u << 20;

// Reads a text file as UTF-8 lines: a UTF-8 byte-order mark is skipped, a file
// with a UTF-16 byte-order mark is converted to UTF-8, line ends are "\n" or
// "\r\n". Only a regular file of at most kMacFilterFileMax bytes is read.
// Returns false when the file cannot be opened or is refused, with `error`
// telling why (empty when the file does not exist).
bool ReadTextFileLines(const std::string &path, std::vector<std::string> &lines,
                       std::string *error = nullptr);

// The filter file beside the program: the program's path with ".filter"
// appended (on Windows its extension replaced by ".filter"). Empty when the
// program's path cannot be found.
std::string MacFilterFileName();

// The user's filter file, shared by the window and kelvo-cli:
// $XDG_CONFIG_HOME/Marvane/Kelvo.filter, with ~/.config when XDG_CONFIG_HOME
// is unset or not absolute (the folder where the program's settings for
// Marvane/Kelvo live). Empty when neither variable gives a folder.
std::string UserMacFilterFileName();

// Loads the user's filter file and the one beside the program, each where it
// exists. Returns the number of ranges appended; `error` as for
// LoadMacFilterFile.
int LoadDefaultMacFilters(std::string *error = nullptr);

// Loads the filter file at `path` into MacFilter; a missing file means no
// filter. Returns the number of ranges appended; a file that cannot be read
// or is refused appends none and says why in `error`.
int LoadMacFilterFile(const std::string &path, std::string *error = nullptr);

} // namespace kelvo::host

#endif
