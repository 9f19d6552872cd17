// The texts of a failed write, the same on every platform.
#include "qvfile.h"

#include <cerrno>
#include <system_error>

namespace qv {

std::string write_error_text(const std::string &path, const write_result &result) {
    if (result.ok()) {
        return {};
    }
    switch (result.error) {
    case ELOOP:
        return path + " is a symbolic link; files are never written through a link";
    case EEXIST:
        return path + " exists already";
    case EISDIR:
        return path + " is a folder";
    case EINVAL:
        return path + " is not a regular file";
    default:
        break;
    }
    std::string text =
        "cannot write " + path + ": " + std::generic_category().message(result.error);
    if (result.step != write_step::create) {
        text += "; any earlier file of that name is unchanged";
    }
    return text;
}

} // namespace qv
