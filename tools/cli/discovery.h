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

// Starts the library once per process and points it at `route`. False with
// the library's message.
bool StartDiscovery(const Route &route, std::string *error);

// One search, polled like the main window does (giving up after 609 polls of
// 100 ms). The records are copied to `found` in the library's order.
// `nameLookup` fetches names over HTTP for devices that do not report them.
// False with the library's message when the search failed. The progress line
// stays open for the caller to end with the count it shows.
bool Search(bool nameLookup, Console &console, std::vector<qvudps_module> &found,
            std::string *error);

// Sends one setup with `settings` (its `mac` names a device of the last
// search) and waits for it to finish (at most 150 polls of 100 ms, as the
// detail dialog). False with the library's message when it could not be
// started, found no device or was not sent, or with
// "Sending new settings... timeout error".
bool Setup(const qvudps_module &settings, int nameUpload, Console &console, std::string *error);

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
