// Whole-file reads and writes and temporary folders for the checks of the tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kelvo::test {

// The file's bytes, or "" when it cannot be read.
inline std::string read_file(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Writes the bytes as they are (no newline conversion).
inline void write_file(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of its own under the system's temporary folder, removed after.
struct TempDir {
    TempDir() {
#ifdef _WIN32
        const int pid = _getpid();
#else
        const int pid = static_cast<int>(getpid());
#endif
        path = std::filesystem::temp_directory_path() /
               ("kelvo-test-" + std::to_string(pid) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::filesystem::path path;
    static inline int serial = 0;
};

} // namespace kelvo::test
