#include "gitstore.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace kelvo::cli {

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

// Settings given to every git command, above anything a configuration file
// in the repository could say.
const char *const kFixedConfig[] = {
    "core.hooksPath=/dev/null",
    "core.fsmonitor=false",
    "core.autocrlf=false",
    "commit.gpgsign=false",
    "gc.auto=0",
    "user.name=Kelvo backup",
    "user.email=kelvo-backup@localhost",
    "core.sharedRepository=0600",
};

} // namespace

bool GitStore::checkFolder(std::string *error) const {
    const QString path = Absolute();
    const QFileInfo info(path);
    if (info.isSymLink()) {
        *error = dir + " is a link: give the folder itself";
        return false;
    }
    if (!info.isDir()) {
        *error = dir + " is not a folder";
        return false;
    }
    // Whoever owns the folder decides what git does in it: a file made here
    // now is ours, and must have the folder's owner.
    QTemporaryFile probe(path + "/.kelvo-owner-XXXXXX");
    if (!probe.open()) {
        *error = "cannot write in " + dir + ": " + probe.errorString().toStdString();
        return false;
    }
    if (QFileInfo(probe.fileName()).ownerId() != info.ownerId()) {
        *error = dir + " belongs to another user: keep the history in a folder of your own";
        return false;
    }
    const QFileInfo git(path + "/.git");
    if (git.exists() && (git.isSymLink() || !git.isDir())) {
        *error = dir + "/.git is not a folder of its own (a link or a file): refused";
        return false;
    }
    return true;
}

// Links in the path are kept: the folder itself is checked not to be one.
QString GitStore::Absolute() const {
    return QDir::cleanPath(QDir(Q(dir)).absolutePath());
}

bool GitStore::openExisting(const std::string &folder, std::string *error) {
    dir = folder;
    if (!QFileInfo(Absolute() + "/.git").isDir()) {
        *error = folder + " holds no backup history (make one with: kelvo-cli backup " + folder +
                 " --history)";
        return false;
    }
    return checkFolder(error);
}

bool GitStore::open(const std::string &folder, std::string *error) {
    dir = folder;
    if (!checkFolder(error))
        return false;
    if (QFileInfo(Absolute() + "/.git").isDir())
        return true;
    std::string out;
    return git({"init", "-q", "--shared=0600"}, out, error);
}

bool GitStore::git(const std::vector<std::string> &args, std::string &out,
                   std::string *error) const {
    const QString program = QStandardPaths::findExecutable("git");
    if (program.isEmpty()) {
        *error = "the git program is not installed (it keeps the backup history)";
        return false;
    }
    // git runs in the folder: relative names would start from there.
    const QString path = Absolute();
    // Named explicitly, so git never looks for a repository above the folder.
    QStringList all{"--git-dir=" + path + "/.git", "--work-tree=" + path};
    for (const char *c : kFixedConfig)
        all << "-c" << c;
    for (const auto &a : args)
        all << Q(a);
    QProcessEnvironment env;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const char *keep : {"PATH", "SYSTEMROOT", "TZ"})
        if (system.contains(keep))
            env.insert(keep, system.value(keep));
    env.insert("HOME", path);
    env.insert("LC_ALL", "C");
    env.insert("GIT_CONFIG_NOSYSTEM", "1");
    env.insert("GIT_CONFIG_GLOBAL", "/dev/null");
    env.insert("GIT_TERMINAL_PROMPT", "0");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(path);
    MakeChildPrivate(p);
    p.start(program, all);
    p.closeWriteChannel();
    const bool ended = p.waitForFinished(kGitSeconds * 1000);
    out = p.readAllStandardOutput().toStdString();
    if (!ended) {
        p.kill();
        p.waitForFinished(2000);
        *error = "git did not finish within " + std::to_string(kGitSeconds) + " seconds";
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::string text = p.readAllStandardError().trimmed().toStdString();
        if (text.empty())
            text = p.errorString().toStdString();
        *error =
            "git " + (args.empty() ? std::string() : args[0]) + " failed in " + dir + ": " + text;
        return false;
    }
    return true;
}

bool GitStore::commit(const std::vector<std::string> &files, const Describe &describe,
                      std::vector<std::string> &added, std::vector<std::string> &changed,
                      std::string &commitHash, std::string *error) {
    added.clear();
    changed.clear();
    commitHash.clear();
    std::string out;
    if (!files.empty()) {
        std::vector<std::string> args{"add", "--"};
        args.insert(args.end(), files.begin(), files.end());
        if (!git(args, out, error))
            return false;
    }
    if (!git({"diff", "--cached", "--name-status", "--no-renames", "-z"}, out, error))
        return false;
    // "M\0name\0A\0name\0..."
    for (size_t at = 0; at < out.size();) {
        const size_t kindEnd = out.find('\0', at);
        if (kindEnd == std::string::npos)
            break;
        const size_t nameEnd = out.find('\0', kindEnd + 1);
        const std::string name = out.substr(kindEnd + 1, nameEnd - kindEnd - 1);
        (out[at] == 'A' ? added : changed).push_back(name);
        at = nameEnd == std::string::npos ? out.size() : nameEnd + 1;
    }
    if (added.empty() && changed.empty())
        return true;
    if (!git({"commit", "-q", "--no-verify", "-m", describe(added, changed)}, out, error) ||
        !git({"rev-parse", "HEAD"}, out, error))
        return false;
    commitHash = QString::fromStdString(out).trimmed().toStdString();
    return true;
}

bool GitStore::log(const std::string &file, std::vector<LogEntry> &entries, std::string *error) {
    entries.clear();
    std::string out;
    // No commit yet: an empty history rather than git's complaint.
    if (!git({"rev-parse", "-q", "--verify", "HEAD"}, out, error)) {
        error->clear();
        return true;
    }
    if (!git({"log", "--format=%H%x09%aI%x09%s", "--", file}, out, error))
        return false;
    for (const QString &line : QString::fromStdString(out).split('\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split('\t');
        if (parts.size() >= 3)
            entries.push_back({parts[0].toStdString(), parts[1].toStdString(),
                               parts.mid(2).join('\t').toStdString()});
    }
    return true;
}

bool GitStore::show(const std::string &commitHash, const std::string &file, std::string &contents,
                    std::string *error) {
    return git({"show", commitHash + ":" + file}, contents, error);
}

} // namespace kelvo::cli
