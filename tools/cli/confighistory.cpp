#include "confighistory.h"

#include "devicetext.h"
#include "discovery.h"
#include "qvfile.h"
#include "setupdiff.h"
#include "textutil.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace kelvo::cli {

namespace {

bool LooksLikeDevice(const std::string &target) {
    if (ParseMac(target, nullptr))
        return true;
    const auto colon = target.rfind(':');
    return IsDottedIPv4(colon == std::string::npos ? target : target.substr(0, colon));
}

// What a run did to one device's file.
struct Outcome {
    std::string mac, name, address, file;
    std::string result; // "unchanged", "written" (until git tells added or changed), "failed"
    std::string detail;
};

std::string Describe(const std::vector<Outcome> &outcomes, const std::vector<std::string> &added,
                     const std::vector<std::string> &changed) {
    const auto listed = [](const std::vector<std::string> &files, const std::string &file) {
        return std::find(files.begin(), files.end(), file) != files.end();
    };
    std::string lines;
    size_t failed = 0;
    for (const char *kind : {"changed", "added", "failed"}) {
        for (const auto &o : outcomes) {
            const bool match = std::string(kind) == "failed"  ? o.result == "failed"
                               : std::string(kind) == "added" ? listed(added, o.file)
                                                              : listed(changed, o.file);
            if (!match)
                continue;
            failed += o.result == "failed";
            lines += std::string(kind) + " " + o.mac + (o.name.empty() ? "" : " " + o.name) +
                     (o.result == "failed" ? ": " + o.detail : "") + "\n";
        }
    }
    return "Backup: " + std::to_string(changed.size()) + " changed, " +
           std::to_string(added.size()) + " added, " + std::to_string(failed) + " failed\n\n" +
           lines;
}

bool ReadSettingsOf(const std::string &what, std::string_view document, history::Settings &s,
                    Console &console) {
    std::string error;
    if (history::ReadSettings(document, s, &error))
        return true;
    console.error(what + ": " + error);
    return false;
}

} // namespace

std::string HistoryFileName(const std::string &canonicalMac) {
    std::string name = canonicalMac;
    std::replace(name.begin(), name.end(), ':', '-');
    return name + ".xml";
}

bool ReadDocumentFile(const std::string &path, std::string &document, std::string *error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        *error = "cannot read " + path + ": " + ec.message();
        return false;
    }
    if (size > history::kDocumentMax) {
        *error = path + " is larger than any device configuration";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    document.assign(static_cast<size_t>(size), '\0');
    if (!in.read(document.data(), static_cast<std::streamsize>(size)) || in.peek() != EOF) {
        *error = "cannot read " + path + " (it changed or cannot be read)";
        return false;
    }
    return true;
}

int BackupWithHistory(GitStore &store, const std::vector<qvudps_module> &keeping,
                      std::vector<std::vector<std::string>> rows, const SaveOptions &options,
                      bool brief, Console &console) {
    std::vector<SaveItem> items;
    for (const auto &m : keeping) {
        SaveItem item;
        item.mac = FieldText(m.mac);
        item.device = {FieldText(m.ip), m.port};
        item.inMemory = true;
        items.push_back(item);
    }
    SaveSetupDocuments(items, options, console);
    std::vector<Outcome> outcomes;
    std::vector<std::string> files;
    for (size_t i = 0; i < items.size(); ++i) {
        SaveItem &item = items[i];
        Outcome o{item.mac,
                  FieldText(keeping[i].name),
                  item.device.host + ":" + std::to_string(item.device.port),
                  HistoryFileName(item.mac),
                  "failed",
                  item.error};
        const std::string path = (std::filesystem::path(store.folder()) / o.file).string();
        history::Settings now, before;
        std::string earlier, error;
        if (item.saved && !history::ReadSettings(item.document, now, &error)) {
            o.detail = "the device's document cannot be read: " + error;
        } else if (item.saved) {
            // Readings change on every download; the file is rewritten only
            // when a setting did, so an unchanged device makes no commit.
            const bool same = ReadDocumentFile(path, earlier, &error) &&
                              history::ReadSettings(earlier, before, &error) &&
                              history::Compare(before, now).empty();
            const qv::write_result w =
                same ? qv::write_result{}
                     : qv::write_file(path.c_str(), item.document.data(), item.document.size(),
                                      qv::write_mode::replace, 0600);
            o.result = same ? "unchanged" : w.ok() ? "written" : "failed";
            o.detail = w.ok() ? std::string() : qv::write_error_text(path, w);
        }
        // A failed device's earlier file goes into the commit as it was.
        std::error_code ec;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
            files.push_back(o.file);
        outcomes.push_back(o);
    }
    std::vector<std::string> added, changed;
    std::string commit, error;
    const bool committed = store.commit(
        files, [&](const auto &a, const auto &c) { return Describe(outcomes, a, c); }, added,
        changed, commit, &error);
    size_t failed = 0, same = 0;
    for (auto &o : outcomes) {
        if (std::find(added.begin(), added.end(), o.file) != added.end())
            o.result = "added";
        else if (std::find(changed.begin(), changed.end(), o.file) != changed.end())
            o.result = "changed";
        else if (o.result != "failed")
            o.result = "unchanged";
        failed += o.result == "failed";
        same += o.result == "unchanged";
        rows.push_back({o.mac, o.address, o.result, o.result == "failed" ? o.detail : o.file});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a[0] < b[0]; });
    if (!brief)
        console.out << FormatTable({"MAC", "Address", "Result", "File"}, rows);
    const std::string counts =
        std::to_string(changed.size()) + " changed, " + std::to_string(added.size()) + " added, " +
        std::to_string(same) + " unchanged, " + std::to_string(failed) + " failed of " +
        std::to_string(outcomes.size()) + " configuration document(s) in " + store.folder();
    if (!committed) {
        console.error(error);
        console.out << counts << "; not committed\n";
        return kExitFailed;
    }
    console.out << counts
                << (commit.empty() ? "; nothing changed, no commit"
                                   : "; commit " + commit.substr(0, 12))
                << "\n";
    return failed ? kExitPartial : kExitOk;
}

int RunDiff(const std::string &a, const std::string &b, bool json, bool showSecrets,
            const DocumentFetcher &fetch, Console &console) {
    history::Settings settings[2];
    const std::string targets[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        const std::string &t = targets[i];
        std::string document, error;
        if (QFileInfo::exists(QString::fromStdString(t)) || !LooksLikeDevice(t)) {
            if (!ReadDocumentFile(t, document, &error)) {
                console.error(error);
                return kDiffError;
            }
        } else if (fetch(t, document) != kExitOk) {
            return kDiffError;
        }
        if (!ReadSettingsOf(t, document, settings[i], console))
            return kDiffError;
    }
    const auto differences = history::Compare(settings[0], settings[1]);
    console.out << (json ? history::DiffJson(differences, showSecrets)
                         : history::DiffText(differences, showSecrets));
    return differences.empty() ? kDiffEqual : kDiffDiffers;
}

int ShowHistory(const std::string &folder, const std::string &device, bool showSecrets,
                Console &console) {
    GitStore store;
    std::string error, file, mac;
    if (!store.openExisting(folder, &error)) {
        console.error(error);
        return kExitFailed;
    }
    if (ParseMac(device, &mac)) {
        file = HistoryFileName(mac);
    } else {
        // By the name in each device's latest file.
        const QDir dir(QString::fromStdString(folder));
        for (const QString &name : dir.entryList({"*.xml"}, QDir::Files | QDir::NoSymLinks)) {
            std::string document;
            history::Settings s;
            if (!ReadDocumentFile(dir.filePath(name).toStdString(), document, &error) ||
                !history::ReadSettings(document, s, &error))
                continue;
            if (history::SettingValue(s, "Agent/DeviceName") != device &&
                history::SettingValue(s, "Network/Name") != device)
                continue;
            if (!file.empty()) {
                console.error("more than one device is named \"" + device +
                              "\" in the history: give its MAC address");
                return kExitUsage;
            }
            file = name.toStdString();
        }
    }
    std::vector<GitStore::LogEntry> entries;
    if (!file.empty() && !store.log(file, entries, &error)) {
        console.error(error);
        return kExitFailed;
    }
    if (entries.empty()) {
        console.error("no device " + device + " in the history in " + folder);
        return kExitNotFound;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto &e = entries[i];
        console.out << (i ? "\n" : "") << "commit " << e.hash.substr(0, 12) << "  " << e.date
                    << "  " << e.subject << "\n";
        std::string now, before;
        history::Settings sNow, sBefore;
        if (!store.show(e.hash, file, now, &error)) {
            console.error(error);
            return kExitFailed;
        }
        if (i + 1 == entries.size()) {
            console.out << "  first backup of this device\n";
            continue;
        }
        if (!store.show(entries[i + 1].hash, file, before, &error)) {
            console.error(error);
            return kExitFailed;
        }
        if (!ReadSettingsOf(e.hash.substr(0, 12), now, sNow, console) ||
            !ReadSettingsOf(entries[i + 1].hash.substr(0, 12), before, sBefore, console))
            return kExitFailed;
        const auto differences = history::Compare(sBefore, sNow);
        std::string text = history::DiffText(differences, showSecrets);
        if (text.empty())
            text = "no setting changed\n";
        for (size_t at = 0; at < text.size();) {
            const size_t eol = text.find('\n', at);
            console.out << "  " << text.substr(at, eol - at + 1);
            at = eol + 1;
        }
    }
    return kExitOk;
}

} // namespace kelvo::cli
