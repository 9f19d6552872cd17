// The real programs as processes: kelvo-devsim behind kelvo-relay, and
// kelvo-cli talking to them, as a user's script would run it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// A program that runs until the test ends; its first line names its port.
class Background {
public:
    Background(const QString &program, const QStringList &args) {
        process.setProgram(program);
        process.setArguments(args);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        if (!process.waitForStarted(5000))
            return;
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        firstLine = QString::fromUtf8(process.readLine()).trimmed();
    }
    ~Background() {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    // "ADDR:PORT" from the first line.
    QString endpoint() const {
        const auto m = QRegularExpression("(127\\.[0-9.]+:[0-9]+)").match(firstLine);
        return m.hasMatch() ? m.captured(1) : QString();
    }

    QProcess process;
    QString firstLine;
};

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

CliRun Cli(const QStringList &args) {
    QProcess p;
    p.start(KELVO_CLI_PATH, args);
    CliRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(CliProcess, HelpForEveryCommand) {
    const CliRun overview = Cli({"--help"});
    EXPECT_EQ(overview.code, 0);
    EXPECT_TRUE(overview.out.contains("Exit codes:"));
    for (const char *command :
         {"search", "set", "defaults", "download", "upload", "backup", "values"}) {
        const CliRun r = Cli({command, "--help"});
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_TRUE(r.out.startsWith(QString("Usage: kelvo-cli ") + command)) << command;
        EXPECT_TRUE(r.out.contains("--relay")) << command;
    }
    // Where a password may come from instead of the command line.
    EXPECT_TRUE(Cli({"download", "--help"}).out.contains("KELVO_HTTP_PASSWORD"));
    EXPECT_EQ(Cli({}).code, 2);
    EXPECT_EQ(Cli({"set", "--bogus"}).code, 2);
}

TEST(CliProcess, SearchAndBackupThroughTheRealRelay) {
    Background fleet(KELVO_DEVSIM_PATH, {"--listen", "127.0.0.2:0", "--count", "3", "--ephemeral",
                                         "--first-ip", "127.0.140.1"});
    const QString fleetUdp = fleet.endpoint();
    ASSERT_FALSE(fleetUdp.isEmpty()) << fleet.firstLine.toStdString();
    Background relay(KELVO_RELAY_PATH,
                     {"--listen", "127.0.0.1:0", "--devices", fleetUdp, "--verbose", "0"});
    const QString relayAt = relay.endpoint();
    ASSERT_FALSE(relayAt.isEmpty()) << relay.firstLine.toStdString();

    CliRun r = Cli({"search", "--format", "json", "--relay", relayAt, "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    const QJsonArray list = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(list.size(), 3) << r.out.toStdString();
    QStringList ips;
    for (const auto &v : list)
        ips << v.toObject()["ip"].toString();
    ips.sort();
    EXPECT_EQ(ips, (QStringList{"127.0.140.1", "127.0.140.2", "127.0.140.3"}));

    // Progress goes to stderr, never into the results.
    r = Cli({"search", "--format", "csv", "--relay", relayAt});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.contains("Searching modules")) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 4);
}

TEST(CliProcess, TwoBackupsIntoOneFolderAtOnceLoseNothing) {
    Background fleet(KELVO_DEVSIM_PATH, {"--listen", "127.0.0.2:0", "--count", "4", "--ephemeral",
                                         "--first-ip", "127.0.141.1"});
    Background relay(KELVO_RELAY_PATH,
                     {"--listen", "127.0.0.1:0", "--devices", fleet.endpoint(), "--verbose", "0"});
    ASSERT_FALSE(relay.endpoint().isEmpty()) << relay.firstLine.toStdString();
    QTemporaryDir dir;
    QProcess runs[2];
    for (auto &p : runs)
        p.start(KELVO_CLI_PATH, {"backup", dir.path(), "--relay", relay.endpoint()});
    int saved = 0;
    for (auto &p : runs) {
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
        EXPECT_FALSE(out.contains("--force")) << out.toStdString();
        saved += static_cast<int>(out.count("  saved  "));
    }
    // Every document saved under a name of its own, none empty.
    const auto files = QDir(dir.path()).entryInfoList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(saved, 4); // two devices of the four keep a document
    EXPECT_EQ(files.size(), saved);
    for (const auto &f : files)
        EXPECT_GT(f.size(), 0) << f.fileName().toStdString();
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
