// The discovery library as a command line uses it: one blocking search or
// setup at a time, with progress on the console and the library's message on
// failure.
//
// Threading: the library is one instance per process; call these from one
// thread, one command at a time. The library's hooks only record what they
// are told, under a mutex, on its worker thread.
#ifndef KELVO_CLI_DISCOVERY_H
#define KELVO_CLI_DISCOVERY_H

#include "console.h"
#include "qvudps.h"

#include <string>
#include <vector>

namespace kelvo::cli {

// How the datagrams leave the program.
struct Route {
    bool direct = false; // broadcast to 255.255.255.255 ourselves (no relay)
    std::string relayAddress = "127.0.0.1";
    int relayPort = 9999;
};

// Reads "ADDR:PORT" (or "ADDR", port 9999) with ADDR a dotted IPv4 address
// and PORT 1 to 65535. False with `error` set otherwise.
bool ParseRelay(const std::string &text, Route &route, std::string *error);

// The record table kelvo-cli asks for: a plant's whole fleet, not the
// window's 1000.
inline constexpr int kCliCapacity = 10000;

// Starts the library once per process (raising the open-file limit first,
// for the concurrent name lookups), sizes its table for `capacity` devices
// and points it at `route`. False with the library's message.
bool StartDiscovery(const Route &route, std::string *error, int capacity = kCliCapacity);

// One search, ended by the library's hooks the moment it finishes (giving
// up, like the main window, after 60.9 s); the progress line updates every
// 100 ms meanwhile, counting the devices that have answered so far. The records are copied to
// `found` in the library's order. `nameLookup` fetches names over HTTP for devices that do not
// report them. False with the library's message when the search failed. The progress line stays
// open for the caller to end with the count it shows.
bool Search(bool nameLookup, Console &console, std::vector<qvudps_module> &found,
            std::string *error);

// Sends one setup with `settings` (its `mac` names a device of the last
// search) and waits for the library to report its end (at most 15.1 s, as
// the detail dialog). False with the library's message when it could not be
// started, found no device or was not sent, or with
// "Sending new settings... timeout error".
bool Setup(const qvudps_module &settings, int nameUpload, Console &console, std::string *error);

// Setups for many devices at once: one setup message per entry of
// `settings` (new values; `stored[i]` is the same device's record from the
// last search), sent one after the other from one socket the way the library
// sends one, then a single 6000 ms wait for all devices to apply them, then
// the name uploads of the devices that keep their name over HTTP and get a
// name other than the one in `stored`, all concurrently. Devices that require authorised setup are
// signed with `setupKey`. Returns the number of messages sent; `unsent[i]` says why message i did
// not leave ("" when it did).
int SetupMany(const Route &route, const std::vector<qvudps_module> &settings,
              const std::vector<qvudps_module> &stored, const qvudps_tea_key &setupKey,
              Console &console, std::vector<std::string> &unsent);

// The records of `found` that the MAC filter (host::IsMacFiltered) keeps.
std::vector<qvudps_module> WithoutFiltered(const std::vector<qvudps_module> &found);

// Index of the record whose MAC address equals `mac` (any case, ":" or "-"
// between the octets), or -1.
int FindByMac(const std::vector<qvudps_module> &found, const std::string &mac);

// True for six two-digit hexadecimal octets joined by ":" or "-"; `canonical`
// gets the upper-case ":" form.
bool ParseMac(const std::string &text, std::string *canonical);

} // namespace kelvo::cli

#endif
