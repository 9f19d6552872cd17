// backup: the configuration documents of every device into one folder.
#include "transfercommand.h"

#include "confighistory.h"
#include "devicetext.h"
#include "kelvohost.h"
#include "textutil.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace kelvo::cli {

namespace {

// How many devices --parallel lets a backup serve at a time.
constexpr int kMaxParallel = 64;

// The names of the entries of `folder`.
std::vector<std::string> FolderEntries(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

class BackupCommand : public TransferCommand {
public:
    BackupCommand()
        : TransferCommand(
              {"backup",
               "save the configuration documents of all devices to a folder",
               "Search, then download the configuration document of every device that "
               "keeps one into DIR, several devices at a time, so a device that does not "
               "answer holds up only itself. Files are named as the main window suggests; "
               "a name already chosen or already in DIR gets the MAC address added, so no "
               "file is replaced. Only complete, well-formed documents are saved, readable "
               "by their owner only. One summary line per device.",
               "DIR",
               1,
               "backup needs one folder",
               {{{"parallel"}, "Serve N devices at a time (1 to 64, default 32).", "N"},
                {{"history"},
                 "Keep DIR as a git repository with one file per device, named by "
                 "its MAC address, and commit what changed, once per run."},
                {{"brief"}, "With --history: print the summary line only."}}}) {}

private:
    int Execute(CommandLine &cl, Context &ctx) override {
        if (!login.user.empty())
            if (const int rc = PasswordAllowed(ctx, "the web server password"); rc != kExitOk)
                return rc;
        SaveOptions options;
        options.login = login;
        options.showCount = true;
        if (cl.isSet("parallel") &&
            !ParseNumber(cl.value("parallel"), 1, kMaxParallel, &options.parallel)) {
            ctx.console.error("--parallel must be 1 to " + std::to_string(kMaxParallel));
            return kExitUsage;
        }
        const std::string folder = cl.argument(0);
        if (std::string error; !CreateBackupFolder(folder, &error)) {
            ctx.console.error(error);
            return kExitFailed;
        }
        GitStore store;
        if (std::string error; cl.isSet("history") && !store.open(folder, &error)) {
            ctx.console.error(error);
            return kExitFailed;
        }
        std::vector<qvudps_module> devices;
        if (const int rc = SearchDevices(ctx, ctx.names, Listing::Visible, devices); rc != kExitOk)
            return rc;
        devices = SortedByMac(devices);
        std::vector<qvudps_module> keeping;
        std::vector<std::vector<std::string>> rows;
        for (const auto &m : devices) {
            if (SupportsConfigFiles(m.type))
                keeping.push_back(m);
            else
                rows.push_back({FieldText(m.mac), FieldText(m.ip) + ":" + std::to_string(m.port),
                                "skipped", "keeps no configuration document"});
        }
        if (cl.isSet("history"))
            return BackupWithHistory(store, keeping, rows, options, cl.isSet("brief"), ctx.console);
        const auto names = BackupFileNames(keeping, FolderEntries(folder));
        std::vector<SaveItem> items;
        for (size_t i = 0; i < keeping.size(); ++i) {
            SaveItem item;
            item.mac = FieldText(keeping[i].mac);
            item.device = {FieldText(keeping[i].ip), keeping[i].port};
            item.path = (std::filesystem::path(folder) / names[i]).string();
            item.nameBase = SafeXmlFileName(SuggestedFileName(
                FieldText(keeping[i].name), FieldText(keeping[i].ip), keeping[i].port));
            items.push_back(item);
        }
        options.overwrite = false;
        SaveSetupDocuments(items, options, ctx.console);
        size_t failed = 0;
        for (const SaveItem &item : items) {
            const std::string address = item.device.host + ":" + std::to_string(item.device.port);
            if (item.saved) {
                rows.push_back({item.mac, address, "saved",
                                std::filesystem::path(item.path).filename().string() + " (" +
                                    std::to_string(item.bytes) + " bytes)"});
            } else {
                ++failed;
                rows.push_back({item.mac, address, "failed", item.error});
            }
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [](const auto &a, const auto &b) { return a[0] < b[0]; });
        ctx.console.out << FormatTable({"MAC", "Address", "Result", "File"}, rows);
        ctx.console.out << items.size() - failed << " of " << items.size()
                        << " configuration document(s) saved in " << folder << "\n";
        return failed ? kExitPartial : kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> NewBackupCommand() {
    return std::make_unique<BackupCommand>();
}

} // namespace kelvo::cli
