// The real programs as processes: kelvo-devsim behind kelvo-relay, and
// kelvo-cli talking to them, as a user's script would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "http_peer.h"
#include "lab.h"
#include "qvtext.h"
#include "tea.h"
#include "wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace {

using kelvo::test::HttpPeer;
using kelvo::test::HttpReply;
using kelvo::test::Lab;

// kelvo-devsim with `count` devices from `firstIp`, behind kelvo-relay.
std::unique_ptr<Lab> FleetBehindRelay(int count, const char *firstIp) {
    return Lab::processes({"--count", std::to_string(count), "--first-ip", firstIp});
}

QString RelayOf(const Lab &lab) {
    return QString::fromStdString(lab.relay_endpoint());
}

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
    // The overview lists the commands from their registry: each has its help.
    const QString list = overview.out.section("Commands:\n", 1).section("\n\n", 0, 0);
    QStringList commands;
    for (const QString &line : list.split('\n'))
        commands << line.simplified().section(' ', 0, 0);
    for (const QString &command : commands) {
        const CliRun r = Cli({command, "--help"});
        EXPECT_EQ(r.code, 0) << command.toStdString();
        EXPECT_TRUE(r.out.startsWith("Usage: kelvo-cli " + command)) << command.toStdString();
    }
    for (const char *command :
         {"search", "set", "defaults", "download", "upload", "backup", "values"}) {
        EXPECT_TRUE(commands.contains(command)) << command;
        EXPECT_TRUE(Cli({command, "--help"}).out.contains("--relay")) << command;
    }
    // Where a password may come from instead of the command line.
    EXPECT_TRUE(Cli({"download", "--help"}).out.contains("KELVO_HTTP_PASSWORD"));
    EXPECT_EQ(Cli({}).code, 2);
    EXPECT_EQ(Cli({"set", "--bogus"}).code, 2);
}

TEST(CliProcess, SearchAndBackupThroughTheRealRelay) {
    const auto lab = FleetBehindRelay(3, "127.0.140.1");
    ASSERT_TRUE(lab->ok()) << lab->error();
    const QString relayAt = RelayOf(*lab);

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

// A relay limited to an interface this PC does not have says so, and that,
// not the usual firewall hint, is what an empty search reports.
TEST(CliProcess, NothingFoundShowsTheRelaysOwnReason) {
    const auto lab = Lab::processes({"--count", "0"}, {"--interface", "kvnone0"});
    ASSERT_TRUE(lab->ok()) << lab->error();
    const CliRun r = Cli({"search", "--relay", RelayOf(*lab)});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("which says: none of the --interface interfaces is up"))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("firewall")) << r.err.toStdString();
}

// Another local user watches the sockets of kelvo-cli and sends them signed
// replies from a port of its own on 127.0.0.1: a device pointing at its web
// server. Only what the relay's port sends counts, so the forged device is
// neither listed nor sent the web server password.
TEST(CliProcess, ForgedRepliesFromAnotherPortGetNoPassword) {
    const auto lab = FleetBehindRelay(1, "127.0.141.1");
    ASSERT_TRUE(lab->ok()) << lab->error();
    const QString fleetUdp = QString::fromStdString(lab->fleet_endpoint());
    const QString relayAt = RelayOf(*lab);
    HttpPeer web(HttpReply::unauthorized());

    // A real reply of the simulated device, re-signed with the public key
    // after pointing it at the listener.
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in dev{};
    dev.sin_family = AF_INET;
    dev.sin_port = htons(static_cast<uint16_t>(fleetUdp.section(':', 1).toUInt()));
    qv::parse_dotted_ipv4("127.0.0.2", dev.sin_addr.s_addr);
    uint8_t request[qvudps::request_size];
    qvudps::encode_search_request(request);
    ASSERT_EQ(sendto(s, request, sizeof request, 0, reinterpret_cast<sockaddr *>(&dev), sizeof dev),
              static_cast<ssize_t>(sizeof request));
    uint8_t reply[qvudps::max_datagram];
    pollfd p{s, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 10000), 1);
    const ssize_t n = recv(s, reply, sizeof reply, 0);
    close(s);
    qvudps_module forged{};
    uint8_t rawMac[6];
    ASSERT_TRUE(qvudps::decode_reply(reply, static_cast<size_t>(n), forged, rawMac));
    std::snprintf(forged.mac, sizeof forged.mac, "02:66:66:66:66:66");
    std::snprintf(forged.ip, sizeof forged.ip, "127.0.0.1");
    forged.port = forged.web_port = web.port();
    uint8_t fake[qvudps::max_datagram];
    const size_t fakeLen =
        qvudps::encode_reply(forged, qvudps::builtin_search_key, fake, sizeof fake);
    ASSERT_GT(fakeLen, 0u);

    QTemporaryDir dir;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KELVO_HTTP_PASSWORD", "secret");
    cli.setProcessEnvironment(env);
    cli.start(KELVO_CLI_PATH,
              {"backup", dir.path(), "--no-names", "--http-user", "admin", "--relay", relayAt});
    ASSERT_TRUE(cli.waitForStarted(5000));
    const std::string fds = "/proc/" + std::to_string(cli.processId()) + "/fd";
    std::atomic<bool> done{false};
    int sent = 0;
    // Bounded: at most 4000 rounds 5 ms apart, to 127.0.0.1 only.
    std::thread forger([&] {
        // As root, the forger's socket belongs to user nobody: this thread
        // alone takes that identity while it opens it.
        const bool root = geteuid() == 0;
        if (root) {
            EXPECT_EQ(syscall(SYS_setresuid, -1, 65534, -1), 0);
        }
        const int out = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (root) {
            EXPECT_EQ(syscall(SYS_setresuid, -1, 0, -1), 0);
        }
        for (int round = 0; round < 4000 && !done; ++round) {
            std::set<std::string> inodes;
            std::error_code ec;
            for (const auto &e : std::filesystem::directory_iterator(fds, ec)) {
                const std::string target = std::filesystem::read_symlink(e.path(), ec).string();
                if (target.rfind("socket:[", 0) == 0)
                    inodes.insert(target.substr(8, target.size() - 9));
            }
            std::ifstream table("/proc/net/udp");
            std::string line;
            std::getline(table, line);
            while (std::getline(table, line)) {
                std::istringstream fields(line);
                std::string sl, local, remote, st, queues, timer, retr, uid, timeout, inode;
                fields >> sl >> local >> remote >> st >> queues >> timer >> retr >> uid >>
                    timeout >> inode;
                if (!inodes.count(inode) || local.size() < 13)
                    continue;
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_port =
                    htons(static_cast<uint16_t>(std::stoul(local.substr(9), nullptr, 16)));
                to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                if (sendto(out, fake, fakeLen, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) > 0)
                    ++sent;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        close(out);
    });
    const bool finished = cli.waitForFinished(60000);
    done = true;
    forger.join();
    ASSERT_TRUE(finished);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString() << out.toStdString();
    EXPECT_GT(sent, 0) << "the forger found no socket of kelvo-cli";
    EXPECT_FALSE(out.contains("02:66:66:66:66:66")) << out.toStdString();
    EXPECT_TRUE(web.requests().empty()) << "the forged device was asked, with the password";
}

// While kelvo-cli waits at the password prompt it already keeps the password
// out of reach: no core dump, and its /proc files belong to root, not to the
// user who runs it (as root, the program runs as nobody to tell the two apart).
TEST(CliProcess, APasswordPromptMakesTheProcessUndumpable) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const uid_t runAs = geteuid() == 0 ? 65534 : geteuid();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(slave, STDIN_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (geteuid() == 0 && (setgid(runAs) != 0 || setuid(runAs) != 0))
            _exit(99);
        execl(KELVO_CLI_PATH, "kelvo-cli", "set", "02:00:00:00:00:01", "--ip", "127.0.0.5",
              "--user", "admin", "--relay", "127.0.0.1:9", static_cast<char *>(nullptr));
        _exit(98);
    }
    close(slave);
    std::string shown;
    char buf[256];
    pollfd p{master, POLLIN, 0};
    while (shown.find("setup password: ") == std::string::npos && poll(&p, 1, 10000) > 0) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            break;
        shown.append(buf, static_cast<size_t>(n));
    }
    const std::string proc = "/proc/" + std::to_string(child);
    struct stat st {};
    const bool asked = shown.find("setup password: ") != std::string::npos;
    const bool statted = stat((proc + "/status").c_str(), &st) == 0;
    std::ifstream limits(proc + "/limits");
    std::string line, coreLimit;
    while (std::getline(limits, line))
        if (line.rfind("Max core file size", 0) == 0)
            coreLimit = line;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(master);
    ASSERT_TRUE(asked) << shown;
    ASSERT_TRUE(statted);
    EXPECT_EQ(st.st_uid, 0u) << "a dumpable process owns its /proc files";
    EXPECT_NE(runAs, 0u);
    EXPECT_TRUE(QRegularExpression("Max core file size\\s+0\\s+0\\s")
                    .match(QString::fromStdString(coreLimit))
                    .hasMatch())
        << coreLimit;
}

TEST(CliProcess, TwoBackupsIntoOneFolderAtOnceLoseNothing) {
    const auto lab = FleetBehindRelay(4, "127.0.141.1");
    ASSERT_TRUE(lab->ok()) << lab->error();
    QTemporaryDir dir;
    QProcess runs[2];
    for (auto &p : runs)
        p.start(KELVO_CLI_PATH, {"backup", dir.path(), "--relay", RelayOf(*lab)});
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

// kelvo-devsim with one device of its own MAC at `ip` on 127.0.0.3:`port`,
// its web server on `web`, so that it can be stopped and started again as the
// same device.
std::unique_ptr<kelvo::test::Process> OneDevice(const QTemporaryDir &dir, int port, int web,
                                                const char *ip) {
    const QString fleet = dir.filePath("one.json");
    QFile file(fleet);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return nullptr;
    file.write(
        QJsonDocument(QJsonObject{{"udp", QString("127.0.0.3:%1").arg(port)},
                                  {"ephemeral", true},
                                  {"devices", QJsonArray{QJsonObject{{"mac", "02:4B:56:00:AA:01"},
                                                                     {"type", 20},
                                                                     {"ip", ip},
                                                                     {"port", web},
                                                                     {"mask", "255.255.0.0"}}}}})
            .toJson());
    file.close();
    auto devsim = std::make_unique<kelvo::test::Process>(
        std::vector<std::string>{KELVO_DEVSIM_PATH, "--fleet", fleet.toStdString()});
    // Its first line says it listens.
    return devsim->line().find("127.0.0.3") == std::string::npos ? nullptr : std::move(devsim);
}

// A device appears, changes its IP by a real setup, goes silent and comes
// back: watch tells exactly that of it, nothing of the devices it knew from
// the inventory, and ends with 0 on SIGTERM.
TEST(CliProcess, WatchReportsAppearedChangedGoneBackOfOneDeviceOnly) {
    using kelvo::test::Process;
    QTemporaryDir dir;
    const auto fleet = Lab::processes({"--count", "2", "--first-ip", "127.0.152.1"});
    ASSERT_TRUE(fleet->ok()) << fleet->error();
    // Ports for the one device, let go again.
    int port = 0, web = 0;
    {
        kelvo::test::Udp free("127.0.0.3");
        port = free.port();
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa = kelvo::test::endpoint("127.0.152.21", 0);
        socklen_t len = sizeof sa;
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
        getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len);
        web = ntohs(sa.sin_port);
        close(fd);
    }
    Process relay({KELVO_RELAY_PATH, "--listen", "127.0.0.1:0", "--verbose", "0", "--devices",
                   fleet->fleet_endpoint(), "--devices", "127.0.0.3:" + std::to_string(port)});
    const QString relayAt = QString("127.0.0.1:%1").arg(kelvo::test::port_in(relay.line()));
    const QString inventory = dir.filePath("inventory.json");
    ASSERT_EQ(Cli({"search", "--relay", relayAt, "--no-names", "--inventory", inventory}).code, 0);

    Process watch({KELVO_CLI_PATH, "watch", "--format", "json", "--interval", "5", "--relay",
                   relayAt.toStdString(), "--no-names", "--inventory", inventory.toStdString()});
    // A second watch waits for the device to go, without an inventory.
    Process untilGone({KELVO_CLI_PATH, "watch", "--interval", "5", "--relay", relayAt.toStdString(),
                       "--no-names", "--no-inventory", "--until-gone", "02:4b:56:00:aa:01"});
    auto device = OneDevice(dir, port, web, "127.0.152.20");
    ASSERT_TRUE(device);
    const auto next = [&](std::chrono::seconds within) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(watch.line(within))).object();
    };
    QJsonObject e = next(std::chrono::seconds(30));
    EXPECT_EQ(e["event"], "appeared");
    EXPECT_EQ(e["mac"], "02:4B:56:00:AA:01");

    ASSERT_EQ(Cli({"set", "02:4B:56:00:AA:01", "--ip", "127.0.152.21", "--relay", relayAt,
                   "--no-names", "--yes", "--quiet"})
                  .code,
              0);
    e = next(std::chrono::seconds(30));
    EXPECT_EQ(e["event"], "changed");
    EXPECT_EQ(e["changes"].toObject(),
              (QJsonObject{{"ip", QJsonArray{"127.0.152.20", "127.0.152.21"}}}));

    device.reset(); // silent from now on
    e = next(std::chrono::seconds(40));
    EXPECT_EQ(e["event"], "gone");
    std::string last;
    for (std::string l; !(l = untilGone.line(std::chrono::seconds(10))).empty();)
        last = l; // the table's lines up to its end
    EXPECT_NE(last.find("  gone      02:4B:56:00:AA:01"), std::string::npos) << last;
    EXPECT_EQ(untilGone.stop(), 0);
    device = OneDevice(dir, port, web, "127.0.152.21");
    ASSERT_TRUE(device);
    e = next(std::chrono::seconds(30));
    EXPECT_EQ(e["event"], "back");
    EXPECT_EQ(e["mac"], "02:4B:56:00:AA:01");
    EXPECT_EQ(e["ip"], "127.0.152.21");
    // Another refresh: nothing more to tell.
    EXPECT_EQ(watch.line(std::chrono::seconds(6)), "");
    EXPECT_EQ(watch.stop(), 0);
}
