// backup --history, history and diff against a simulated fleet, with the
// real git program.
#include "cli_lab.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace kelvo::test;
using kelvo::devsim::DeviceConfig;

namespace {

std::string Git(const QString &repo, const QStringList &args) {
    QProcess p;
    p.start("git", QStringList{"-C", repo} + args);
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

int Commits(const QString &repo) {
    return std::stoi("0" + Git(repo, {"rev-list", "--count", "--all"}));
}

void Write(const QString &path, const std::string &text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

TEST(CliHistory, CommitsWhatChangedKeepsWhatFailedAndDiffTellsTheSetting) {
    std::vector<DeviceConfig> devices(2);
    for (size_t i = 0; i < devices.size(); ++i) {
        devices[i].name = "Unit " + std::to_string(i);
        devices[i].ip = "127.0.174." + std::to_string(i + 1);
        devices[i].port = 0;
        devices[i].setup_port = 0;
    }
    CliLab lab(devices);
    ASSERT_TRUE(lab.started);
    QTemporaryDir tmp;
    const QString repo = tmp.path() + "/history";
    const std::string file0 = lab.mac(0)
                                  .replace(2, 1, "-")
                                  .replace(5, 1, "-")
                                  .replace(8, 1, "-")
                                  .replace(11, 1, "-")
                                  .replace(14, 1, "-") +
                              ".xml";

    Result r = lab.run({"backup", repo, "--history"});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(Commits(repo), 1);

    // Nothing planted in the repository runs: neither a hook nor a hook path.
    const QString marker = tmp.path() + "/hook-ran";
    Write(repo + "/.git/hooks/pre-commit", "#!/bin/sh\ntouch '" + marker.toStdString() + "'\n");
    QFile::setPermissions(repo + "/.git/hooks/pre-commit", QFile::ReadOwner | QFile::ExeOwner);
    Git(repo, {"config", "core.hooksPath", repo + "/.git/hooks"});

    // One sensor renamed on device 0 while device 1 fails.
    std::string doc = lab.fleet->setup_xml(lab.mac(0));
    const auto at = doc.find("<Name>", doc.find("<SenSet>"));
    ASSERT_NE(at, std::string::npos);
    const auto end = doc.find("</Name>", at);
    const std::string oldName = doc.substr(at + 6, end - at - 6);
    doc.replace(at + 6, end - at - 6, "Boiler 2");
    Write(tmp.path() + "/changed.xml", doc);
    const auto state = lab.fleet->device(0);
    r = lab.run({"upload",
                 QString::fromStdString(state.config.ip + ":" + std::to_string(state.http_port)),
                 tmp.path() + "/changed.xml"});
    ASSERT_EQ(r.code, 0) << r.err;
    kelvo::devsim::Faults broken;
    broken.http_status = 500;
    lab.fleet->set_faults(lab.mac(1), broken);
    r = lab.run({"backup", repo, "--history"});
    EXPECT_EQ(r.code, 7) << r.err << r.out;
    EXPECT_EQ(Commits(repo), 2);
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_EQ(Git(repo, {"show", "--format=", "--name-only", "HEAD"}), file0 + "\n");
    const std::string message = Git(repo, {"log", "-1", "--format=%B"});
    EXPECT_NE(message.find("Backup: 1 changed, 0 added, 1 failed"), std::string::npos) << message;
    EXPECT_NE(message.find("failed " + lab.mac(1)), std::string::npos) << message;

    // The two versions differ by exactly that setting.
    Write(tmp.path() + "/a.xml", Git(repo, {"show", "HEAD~1:" + QString::fromStdString(file0)}));
    Write(tmp.path() + "/b.xml", Git(repo, {"show", "HEAD:" + QString::fromStdString(file0)}));
    r = lab.runRaw({"diff", tmp.path() + "/a.xml", tmp.path() + "/b.xml"});
    EXPECT_EQ(r.code, 1) << r.err;
    const std::string line = ": \"" + oldName + "\" -> \"Boiler 2\"\n";
    EXPECT_TRUE(r.out.starts_with("SenSet/Entry[") && r.out.ends_with(line) &&
                r.out.find('\n') == r.out.size() - 1)
        << r.out;
    EXPECT_EQ(lab.runRaw({"diff", tmp.path() + "/a.xml", tmp.path() + "/a.xml"}).code, 0);
    EXPECT_EQ(lab.runRaw({"diff", tmp.path() + "/a.xml", tmp.path() + "/none.xml"}).code, 2);
    // A device against its latest file, downloaded on the fly.
    r = lab.run({"diff", QString::fromStdString(lab.mac(0)), tmp.path() + "/b.xml"});
    EXPECT_EQ(r.code, 0) << r.err << r.out;
    r = lab.runRaw({"history", QString::fromStdString(lab.mac(0)), "--repo", repo});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("first backup of this device"), std::string::npos) << r.out;

    // Device 1 back, nothing changed: no commit.
    lab.fleet->set_faults(lab.mac(1), {});
    r = lab.run({"backup", repo, "--history", "--brief"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("nothing changed, no commit"), std::string::npos) << r.out;
    EXPECT_EQ(Commits(repo), 2);

    // Nothing in the repository is open to other users.
    for (QDirIterator it(repo, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        struct stat st {};
        ASSERT_EQ(lstat(it.next().toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << it.filePath().toStdString();
    }
}

TEST(CliHistory, RefusesAFolderThatIsALink) {
    QTemporaryDir tmp;
    const QString link = tmp.path() + "/link";
    ASSERT_TRUE(QFile::link(tmp.path(), link));
    const Result r = CliLab::runRaw({"backup", link, "--history", "--relay", "127.0.0.1:1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("is a link"), std::string::npos) << r.err;
}

} // namespace
