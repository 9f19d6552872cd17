// The regular expressions of the MAC filter: Boost.Regex where the build has
// it, the standard library's where it has not (KELVO_STD_REGEX, Windows).
// Both throw a std::runtime_error when a line exhausts the matcher.
#ifndef KELVO_HOSTREGEX_H
#define KELVO_HOSTREGEX_H

#if KELVO_STD_REGEX
#include <regex>
namespace kelvo::host::rx {
using regex = std::regex;
using smatch = std::smatch;
using std::regex_match;
} // namespace kelvo::host::rx
#else
#include <boost/regex.hpp>
namespace kelvo::host::rx {
using regex = boost::regex;
using smatch = boost::smatch;
using boost::regex_match;
} // namespace kelvo::host::rx
#endif

#endif
