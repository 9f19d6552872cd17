// The ping test of an address: is some host already answering there?
//
// Threading: blocks the calling thread, about two seconds at most when nothing
// answers. Holds no shared state, so any thread may call it, also several at
// once.
#ifndef KELVO_HOSTPING_H
#define KELVO_HOSTPING_H

#include <string>

namespace kelvo::host {

// Sends an ICMP echo request (32 bytes of 0xAA) to the dotted address `ipText`
// and waits 1000 ms for the reply; without one, sends one more and waits again.
// Returns 0 when a reply came back (the address is in use), 1 when neither
// request was answered, -1 when ICMP cannot be used here (no permission,
// or sending failed, e.g. to a broadcast address). A text that does not parse
// is never sent anywhere and yields 1.
int PingAddress(const std::string &ipText);

} // namespace kelvo::host

#endif
