// Keeping passwords and the files that hold them away from other local users:
// owner-only settings files and folders, and no core dump of a process that
// holds a password.
//
// Threading: any thread; the functions keep no state of their own.
#ifndef KELVO_HOSTSECRETS_H
#define KELVO_HOSTSECRETS_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvo::host {

// Creates the folder (mode 0700) when missing, and takes group and other
// access away when it is ours and allows them. Never follows a link at the
// last step. False with `error` when the folder cannot be made private.
bool MakePrivateFolder(const std::string &path, std::string *error);

// Creates the file empty (mode 0600) when missing, so that a later atomic
// rewrite keeps the mode, and takes group and other access away when it is
// ours and allows them. Never follows a link. False with `error` otherwise.
bool MakePrivateFile(const std::string &path, std::string *error);

// From now on this process leaves no core dump and cannot be attached to by
// other processes of the same user: called before a password is read.
// Idempotent.
void KeepSecretsOutOfDumps();

// Overwrites `n` bytes at `p` with zeros in a way the compiler keeps.
void WipeMemory(void *p, std::size_t n);
// Wipes a string's characters, then empties it.
void WipeString(std::string &s);

// A password in a fixed buffer that never moves (no reallocation leaves
// copies behind) and is wiped when it is cleared, reassigned or destroyed.
class Secret {
public:
    static constexpr std::size_t kCapacity = 128; // with the NUL

    Secret() = default;
    Secret(const Secret &other) { *this = other; }
    Secret &operator=(const Secret &other) {
        if (this != &other)
            assign(other.view());
        return *this;
    }
    ~Secret() { clear(); }

    // False, leaving the secret empty, when `text` does not fit.
    bool assign(std::string_view text);
    // False when full; the character is not taken.
    bool append(char c);
    void clear();

    std::string_view view() const { return {buffer, length}; }
    const char *c_str() const { return buffer; }
    std::size_t size() const { return length; }
    bool empty() const { return length == 0; }

private:
    char buffer[kCapacity] = {};
    std::size_t length = 0;
};

} // namespace kelvo::host

#endif
