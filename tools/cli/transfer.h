// The configuration transfers of the main window, a multi-device backup and
// the reading of a device's values, each run to its end from the command line.
//
// Threading: call from the thread that owns the QCoreApplication (the session
// layer delivers its events there); each function runs a local event loop or
// polls until its work is done or its time bound has passed.
#ifndef KELVO_CLI_TRANSFER_H
#define KELVO_CLI_TRANSFER_H

#include "console.h"
#include "qvudps.h"
#include "qvxml.h"

#include <memory>
#include <string>
#include <vector>

namespace kelvo::cli {

// HTTP Basic credentials; an empty user sends none.
struct HttpLogin {
    std::string user;
    std::string password;
};

// A device's web server.
struct Endpoint {
    std::string host;
    int port = 80;
};

// Fetches the device's setup document and writes it to `path` byte for byte,
// as the main window's download does. Returns an ExitCode; `error` tells why
// when it is not kExitOk (kExitAuth when the device refused the credentials).
int DownloadConfig(const Endpoint &device, const std::string &path, const HttpLogin &login,
                   Console &console, std::string *error);

// Fetches the device's setup document (for its sensor list) and then posts
// the file at `path`, without the sensor entries the device does not have
// when `filter` is set, as the main window's upload does. ExitCode as above.
int UploadConfig(const Endpoint &device, const std::string &path, bool filter,
                 const HttpLogin &login, Console &console, std::string *error);

// The values document of a device, parsed.
struct ValuesResult {
    std::unique_ptr<qvxml_values> values;
    std::unique_ptr<qvxml_values_counts> counts;
};
int FetchValues(const Endpoint &device, const HttpLogin &login, Console &console,
                ValuesResult &result, std::string *error);

// One device of a backup and what became of it.
struct BackupItem {
    std::string mac;
    Endpoint device;
    std::string fileName; // inside the backup folder
    bool saved = false;
    long bytes = 0;
    std::string error; // the library's message when not saved
};

// Downloads the setup documents of all `items` through one multi-device
// handle and writes each to `folder`/fileName. Fills `saved`, `bytes` and
// `error` of every item. Returns false with `error` only when the handle
// itself could not be used (then nothing was saved).
bool BackupConfigs(std::vector<BackupItem> &items, const std::string &folder,
                   const HttpLogin &login, Console &console, std::string *error);

// Unique file names for a backup: SafeXmlFileName of each device's suggested
// name; a name already taken gets "_" and the MAC address without ":" before
// its ".xml".
std::vector<std::string> BackupFileNames(const std::vector<qvudps_module> &devices);

} // namespace kelvo::cli

#endif
