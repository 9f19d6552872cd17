#include "hosturl.h"

namespace kelvo::host {

std::string BrowserUrl(const std::string &host, std::uint16_t port) {
    return "http://" + host + ":" + std::to_string(port);
}

} // namespace kelvo::host
