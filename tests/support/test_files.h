// Whole-file reads for the checks of the tests.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace kelvo::test {

// The file's bytes, or "" when it cannot be read.
inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace kelvo::test
