// Bounded text output shared by the writer and the upload filter: appends
// stop at the capacity and leave a mark instead of writing past it.
#ifndef QVXML_MODEL_TEXT_OUT_H
#define QVXML_MODEL_TEXT_OUT_H

#include <cstddef>
#include <cstring>
#include <string_view>

namespace qvxml {

class text_out {
public:
    // `size` includes the terminating NUL.
    text_out(char *destination, size_t size) : buffer(destination), capacity(size) {
        if (capacity) {
            buffer[0] = '\0';
        }
    }

    void raw(std::string_view s) {
        if (overflowed || s.size() >= capacity - used) {
            overflowed = true;
            return;
        }
        std::memcpy(buffer + used, s.data(), s.size());
        used += s.size();
        buffer[used] = '\0';
    }

    // Text content: "&", "<" and ">" as entity references, so that what was
    // read through a reference goes out as one and the document stays
    // well-formed.
    void escaped(std::string_view s) {
        size_t plain = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            const char *entity = s[i] == '&'   ? "&amp;"
                                 : s[i] == '<' ? "&lt;"
                                 : s[i] == '>' ? "&gt;"
                                               : nullptr;
            if (entity) {
                raw(s.substr(plain, i - plain));
                raw(entity);
                plain = i + 1;
            }
        }
        raw(s.substr(plain));
    }

    void tag(const char *open, std::string_view name, const char *close = ">") {
        raw(open);
        raw(name);
        raw(close);
    }

    bool full() const { return overflowed || capacity == 0; }
    size_t length() const { return used; }
    char last() const { return used ? buffer[used - 1] : '\0'; }

private:
    char *buffer;
    size_t capacity;
    size_t used = 0;
    bool overflowed = false;
};

} // namespace qvxml

#endif
