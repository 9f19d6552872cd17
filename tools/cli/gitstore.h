// A folder kept as a git repository by the `git` program: the version store
// of `backup --history` and what `history` reads.
//
// git runs with an explicit argument list (no shell), a fixed identity, no
// system or user configuration and no hooks, so nothing planted in the folder
// or the user's files runs code or changes what is committed; its files are
// created owner-only, since the documents hold the devices' passwords.
//
// Threading: any thread; each call runs git to its end (bounded in time).
#ifndef KELVO_CLI_GITSTORE_H
#define KELVO_CLI_GITSTORE_H

#include <functional>
#include <string>
#include <vector>

class QProcess;
class QString;

namespace kelvo::cli {

// Makes the files `process` creates owner-only (platform file).
void MakeChildPrivate(QProcess &process);

// Longest a git command may take.
constexpr int kGitSeconds = 60;

class GitStore {
public:
    // Opens `folder` (a folder of this user's that is not a link), making it
    // a repository when it is none yet. False with `error` otherwise.
    bool open(const std::string &folder, std::string *error);
    // Opens an existing repository without changing anything.
    bool openExisting(const std::string &folder, std::string *error);

    // Stages `files` (names inside the folder) and, when that changes
    // anything, commits them with the message `describe` makes of the staged
    // names by kind. `commit` gets the new commit's hash, empty when nothing
    // changed.
    using Describe = std::function<std::string(const std::vector<std::string> &added,
                                               const std::vector<std::string> &changed)>;
    bool commit(const std::vector<std::string> &files, const Describe &describe,
                std::vector<std::string> &added, std::vector<std::string> &changed,
                std::string &commit, std::string *error);

    struct LogEntry {
        std::string hash, date, subject;
    };
    // The commits that changed `file`, newest first.
    bool log(const std::string &file, std::vector<LogEntry> &entries, std::string *error);
    // The contents of `file` at `commit`.
    bool show(const std::string &commit, const std::string &file, std::string &contents,
              std::string *error);

    const std::string &folder() const { return dir; }

private:
    QString Absolute() const;
    bool checkFolder(std::string *error) const;
    bool git(const std::vector<std::string> &args, std::string &out, std::string *error) const;

    std::string dir;
};

} // namespace kelvo::cli

#endif
