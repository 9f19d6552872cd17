// The address under which a device's web page is opened in the browser.
// Pure text work, any thread.
#ifndef KELVO_HOSTURL_H
#define KELVO_HOSTURL_H

#include <cstdint>
#include <string>

namespace kelvo::host {

// "http://" + host + ":" + port; the port is always written, also when it is 80.
std::string BrowserUrl(const std::string &host, std::uint16_t port);

} // namespace kelvo::host

#endif
