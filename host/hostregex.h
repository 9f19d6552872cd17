// The regular expressions of the MAC filter: Boost.Regex where the build has
// it, the standard library's where it has not (KELVO_STD_REGEX, Windows).
// Both throw a std::runtime_error when a line exhausts the matcher.
#ifndef KELVO_HOSTREGEX_H
#define KELVO_HOSTREGEX_H

#if KELVO_STD_REGEX
#include <regex>
namespace kelvo::host::rx {
namespace engine = std;
}
#else
#include <boost/regex.hpp>
namespace kelvo::host::rx {
namespace engine = boost;
}
#endif

namespace kelvo::host::rx {
using regex = engine::regex;
using smatch = engine::smatch;
using engine::regex_match;
} // namespace kelvo::host::rx

#endif
