// Configurations over time: `backup --history` keeps one file per device in
// a git repository and commits what changed, `history` shows the changes of
// one device, `diff` compares two documents or devices setting by setting.
//
// Threading: the thread that owns the QCoreApplication, like every command.
#ifndef KELVO_CLI_CONFIGHISTORY_H
#define KELVO_CLI_CONFIGHISTORY_H

#include "console.h"
#include "gitstore.h"
#include "qvudps.h"
#include "transfer.h"

#include <functional>
#include <string>
#include <vector>

namespace kelvo::cli {

// Exit codes of `diff`, as those of the diff program.
enum DiffExit : int { kDiffEqual = 0, kDiffDiffers = 1, kDiffError = 2 };

// The file of a device in the history: its MAC address, which stays when
// the device is renamed ("02-4B-56-00-00-01.xml").
std::string HistoryFileName(const std::string &canonicalMac);

// Reads a whole document file of at most kDocumentMax bytes.
bool ReadDocumentFile(const std::string &path, std::string &document, std::string *error);

// Downloads the document of every device in `keeping`, writes those whose
// settings changed (or that are new) into the store's folder and commits
// them in one commit; a device that fails keeps its earlier file. `rows` has
// the table rows of the devices skipped already. Returns an ExitCode.
int BackupWithHistory(GitStore &store, const std::vector<qvudps_module> &keeping,
                      std::vector<std::vector<std::string>> rows, const SaveOptions &options,
                      bool brief, Console &console);

// Fetches the document of a device named by MAC or IP[:PORT]; an ExitCode,
// with the reason already told on the console when it is not kExitOk.
using DocumentFetcher = std::function<int(const std::string &target, std::string &document)>;

// `a` and `b` are files, or devices when no such file exists. A DiffExit.
int RunDiff(const std::string &a, const std::string &b, bool json, bool showSecrets,
            const DocumentFetcher &fetch, Console &console);

// The commits of the history in `folder` that changed the device `device`
// (a MAC address, or the name the device has in its latest file), each with
// its changes. Returns an ExitCode.
int ShowHistory(const std::string &folder, const std::string &device, bool showSecrets,
                Console &console);

} // namespace kelvo::cli

#endif
