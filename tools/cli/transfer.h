// The configuration transfers of the main window, a multi-device backup and
// the reading of a device's values, each run to its end from the command line.
//
// Threading: call from the thread that owns the QCoreApplication (the session
// layer delivers its events there); each function runs a local event loop or
// waits until its work is done or its time bound has passed.
#ifndef KELVO_CLI_TRANSFER_H
#define KELVO_CLI_TRANSFER_H

#include "console.h"
#include "hostsecrets.h"
#include "qvudps.h"
#include "qvxml.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::cli {

// HTTP Basic credentials; an empty user sends none.
struct HttpLogin {
    std::string user;
    host::Secret password;
};

// The web server's port when an address names none.
inline constexpr int kDefaultHttpPort = 80;

// A device's web server.
struct Endpoint {
    std::string host;
    int port = kDefaultHttpPort;
};

// Largest configuration file taken for an upload: far above any device's
// document, so a larger one is refused before it is read.
constexpr std::uintmax_t kUploadFileMax = 16u << 20;

// How long a device may take to answer a document request in full. The
// library's own limit for a silent device lies above it, so a device that
// does not answer is reported as such rather than as a broken document.
constexpr int kAnswerSeconds = 9;

// One setup document to fetch and save, and what became of it.
struct SaveItem {
    std::string mac; // for the report only
    Endpoint device;
    std::string path; // the file to write
    // Backup: the device's own file name. When `path` is taken by the time
    // the document is written, the next free BackupNameCandidate beside it is
    // used and `path` tells which.
    std::string nameBase;
    // Keep the document in `document` instead of writing a file.
    bool inMemory = false;
    std::string document;
    bool saved = false;
    long bytes = 0;
    int code = kExitFailed; // ExitCode when not saved
    std::string error;      // why it was not saved
};

struct SaveOptions {
    HttpLogin login;
    int parallel = 32;      // devices served at the same time
    bool overwrite = true;  // false: an existing file is never replaced
    bool showCount = false; // progress counts the documents
};

// Fetches the setup document of every item, up to `parallel` devices at a
// time, each through a handle of its own, so a device that does not answer
// delays only itself. A document is saved only when it arrived complete and
// is well-formed XML; it is written to a temporary file beside the target,
// readable by the owner only, and renamed over the target when complete, so
// a failure leaves any earlier file untouched.
void SaveSetupDocuments(std::vector<SaveItem> &items, const SaveOptions &options, Console &console);

// True when the file at `path` may be uploaded: readable, not empty, at most
// kUploadFileMax bytes (looked at before reading it) and well-formed XML.
// Else false with `error`.
bool CheckUploadFile(const std::string &path, std::string *error);

// Fetches the device's setup document (for its sensor list) and then posts
// the file at `path`, without the sensor entries the device does not have
// when `filter` is set, as the main window's upload does. Returns an ExitCode; `error` tells why
// when it is not kExitOk.
int UploadConfig(const Endpoint &device, const std::string &path, bool filter,
                 const HttpLogin &login, Console &console, std::string *error);

// The values document of a device, parsed.
struct ValuesResult {
    std::unique_ptr<qvxml_values> values;
    std::unique_ptr<qvxml_values_counts> counts;
};
// Reads values.xml over HTTP, with the login when one is given, and has the
// library parse it. Succeeds only for a complete, well-formed document.
int FetchValues(const Endpoint &device, const HttpLogin &login, Console &console,
                ValuesResult &result, std::string *error);

// Empty when `text` is one well-formed XML document, else what is wrong and
// where ("line 3, column 7: ...").
std::string XmlProblem(std::string_view text);

// File names for a backup: SafeXmlFileName of each device's suggested name,
// different from each other and from every name in `existing`. A name that is
// taken gets "_" and the MAC address without ":" before ".xml", then "_2",
// "_3"... until it is free. Names differing only in letter case count as the
// same, so the folder may lie on a file system that ignores case.
std::vector<std::string> BackupFileNames(const std::vector<qvudps_module> &devices,
                                         const std::vector<std::string> &existing = {});

// The n-th choice of file name for a device whose own is `name` (n = 0).
std::string BackupNameCandidate(const std::string &name, const std::string &mac, int n);

// Creates `folder` and any missing folder above it, owner-only whatever the
// umask, since it receives configurations with passwords; an existing folder
// is kept as it is. False with `error` when it cannot be made.
bool CreateBackupFolder(const std::string &folder, std::string *error);

} // namespace kelvo::cli

#endif
