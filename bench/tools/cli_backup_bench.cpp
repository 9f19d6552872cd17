// Wall time and peak memory of "kelvo-cli backup" against a simulated fleet
// in which some web servers accept a connection and never answer, beside the
// former design (the same search, then one multi-device handle serving its
// modules one after the other) and beside the backup one device at a time
// (--parallel 1); each also with every device answering (the mute ones hidden
// by a MAC filter file).
//
//   cli_backup_bench [DEVICES [MUTE]]        defaults 500 and 25
//
// With mute devices the two one-after-the-other runs take minutes (about
// ten seconds for each mute device).
//
// The fleet (kelvo-devsim) and the relay (kelvo-relay) run as processes on
// loopback; each backup runs in a child process of its own, which reports
// its peak resident memory (VmHWM). Every process is stopped at the end.
#include "commands.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qvxml.h"

#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Child {
    pid_t pid = -1;
    std::string firstLine;
};

// Starts `argv` with its standard output on a pipe and reads its first line
// (bounded by the pipe closing).
Child Start(const std::vector<std::string> &argv) {
    int out[2];
    Child c;
    if (pipe(out) != 0)
        return c;
    c.pid = fork();
    if (c.pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char *> args;
        for (const auto &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    char ch;
    while (read(out[0], &ch, 1) == 1 && ch != '\n')
        c.firstLine.push_back(ch);
    // The rest of its output is not needed; a reader keeps it from blocking.
    if (fork() == 0) {
        while (read(out[0], &ch, 1) == 1) {
        }
        _exit(0);
    }
    close(out[0]);
    return c;
}

void Stop(const Child &c) {
    if (c.pid > 0) {
        kill(c.pid, SIGTERM);
        waitpid(c.pid, nullptr, 0);
    }
}

std::string Endpoint(const std::string &line) {
    std::istringstream in(line);
    for (std::string w; in >> w;)
        if (w.rfind("127.", 0) == 0 && w.find(':') != std::string::npos)
            return w;
    return {};
}

long VmHwmKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

struct Figures {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
    std::size_t files = 0;
};

// The former backup: the search, then every device as a module of one
// multi-device handle, saved with the library's file writer. Exit code as
// the command's: 0 all saved, 7 some not.
int FormerBackup(const std::string &relay, const fs::path &folder, const fs::path &filter) {
    std::ostringstream out, err;
    kelvo::cli::Environment env;
    env.filterFile = filter.string();
    if (kelvo::cli::RunCli({"search", "--format", "json", "--relay", QString::fromStdString(relay),
                            "--no-names", "--quiet"},
                           out, err, env) != 0)
        return 1;
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).array();
    fs::create_directories(folder);
    qvxml_init();
    const int h = qvxml_open_many(nullptr);
    if (h == -1 || qvxml_wait_finish(h, 0, 3) != 0)
        return 1;
    std::vector<std::string> macs;
    for (const auto &v : list) {
        const QJsonObject o = v.toObject();
        if (qvxml_add_module(h, o["ip"].toString().toStdString().c_str(), o["port"].toInt(),
                             nullptr) >= 0)
            macs.push_back(o["mac"].toString().remove(':').toStdString());
    }
    qvxml_get_setup(h);
    // The former bound: 10 s and 15 s per device.
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::seconds(10 + 15 * static_cast<long>(macs.size()));
    while (qvxml_finish(h, 4) != 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int saved = 0;
    for (std::size_t i = 0; i < macs.size(); ++i)
        saved += qvxml_get_setup_to_file_many(h, static_cast<int>(i),
                                              (folder / (macs[i] + ".xml")).c_str()) == 0;
    qvxml_close(h);
    qvxml_uninit();
    return saved == static_cast<int>(macs.size()) ? 0 : 7;
}

// One backup in a child process of its own, so that its peak memory is its
// own; `parallel` 0 runs the former design.
Figures Backup(const std::string &relay, const fs::path &folder, const fs::path &filter,
               int parallel) {
    int report[2];
    Figures f;
    if (pipe(report) != 0)
        return f;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        int argc = 1;
        char name[] = "cli_backup_bench";
        char *argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        std::ostringstream out, err;
        kelvo::cli::Environment env;
        env.filterFile = filter.string();
        const int rc =
            parallel == 0
                ? FormerBackup(relay, folder, filter)
                : kelvo::cli::RunCli({"backup", QString::fromStdString(folder.string()), "--relay",
                                      QString::fromStdString(relay), "--no-names", "--quiet",
                                      "--parallel", QString::number(parallel)},
                                     out, err, env);
        const long peak = VmHwmKiB();
        const long words[2] = {rc, peak};
        [[maybe_unused]] auto n = write(report[1], words, sizeof words);
        _exit(0);
    }
    close(report[1]);
    long words[2] = {-1, -1};
    [[maybe_unused]] auto n = read(report[0], words, sizeof words);
    close(report[0]);
    waitpid(pid, nullptr, 0);
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    f.exitCode = static_cast<int>(words[0]);
    f.peakKiB = words[1];
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        ++f.files;
    return f;
}

} // namespace

int main(int argc, char **argv) {
    const int devices = argc > 1 ? std::atoi(argv[1]) : 500;
    const int mute = argc > 2 ? std::atoi(argv[2]) : 25;
    if (devices < 1 || devices > 1000 || mute < 0 || mute > devices) {
        std::fprintf(stderr, "usage: cli_backup_bench [DEVICES 1..1000 [MUTE]]\n");
        return 2;
    }
    const fs::path work =
        fs::temp_directory_path() / ("cli-backup-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    // Thermometers on 127.0.150.x and on; every devices/mute-th one is mute.
    std::ofstream fleet(work / "fleet.json");
    std::ofstream filter(work / "mute.filter");
    fleet << "{\"udp\": \"127.0.0.2:0\", \"devices\": [";
    int muted = 0;
    for (int i = 0; i < devices; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:4B:56:01:%02X:%02X", i / 256, i % 256);
        const bool silent = muted < mute && i % (devices / std::max(mute, 1)) == 0;
        muted += silent;
        fleet << (i ? "," : "") << "{\"mac\": \"" << mac << "\", \"type\": 2, \"ip\": \"127.0."
              << 150 + i / 250 << "." << 1 + i % 250
              << "\", \"port\": 0, \"setup_port\": 0, \"name\": \"Unit " << i + 1 << "\""
              << (silent ? ", \"faults\": {\"http_silent\": true}" : "") << "}";
        if (silent)
            filter << mac << "\n";
    }
    fleet << "]}\n";
    fleet.close();
    filter.close();

    const Child sim = Start({KELVO_DEVSIM_PATH, "--fleet", (work / "fleet.json").string()});
    const std::string fleetUdp = Endpoint(sim.firstLine);
    const Child relay = Start(
        {KELVO_RELAY_PATH, "--listen", "127.0.0.1:0", "--devices", fleetUdp, "--verbose", "0"});
    const std::string relayAt = Endpoint(relay.firstLine);
    if (fleetUdp.empty() || relayAt.empty()) {
        std::fprintf(stderr, "fleet or relay did not start\n");
        Stop(relay);
        Stop(sim);
        return 1;
    }
    std::printf("kelvo-cli backup, %d simulated devices, %d of them mute\n", devices, muted);
    std::printf("%-34s %9s %10s %6s %6s\n", "run", "wall s", "peak MiB", "files", "exit");
    struct Run {
        const char *name;
        int parallel;
        bool withMute;
    } runs[] = {
        {"all answering, former design", 0, false}, {"all answering, one at a time", 1, false},
        {"all answering, 32 at a time", 32, false}, {"with mute, former design", 0, true},
        {"with mute, one at a time", 1, true},      {"with mute, 32 at a time", 32, true}};
    Figures f[6];
    for (int i = 0; i < 6; ++i) {
        const fs::path folder = work / ("backup" + std::to_string(i));
        f[i] =
            Backup(relayAt, folder, runs[i].withMute ? work / "none.filter" : work / "mute.filter",
                   runs[i].parallel);
        std::printf("%-34s %9.2f %10.1f %6zu %6d\n", runs[i].name, f[i].seconds,
                    static_cast<double>(f[i].peakKiB) / 1024.0, f[i].files, f[i].exitCode);
        std::fflush(stdout);
    }
    std::printf("ratio former / 32 at a time: all answering %.2f, with mute %.2f\n",
                f[0].seconds / f[2].seconds, f[3].seconds / f[5].seconds);
    std::printf("ratio one at a time / 32 at a time: all answering %.2f, with mute %.2f\n",
                f[1].seconds / f[2].seconds, f[4].seconds / f[5].seconds);
    std::printf("goals with mute: wall <= 15 s (%s), peak <= 64 MiB (%s)\n",
                f[5].seconds <= 15 ? "met" : "missed",
                static_cast<double>(f[5].peakKiB) / 1024.0 <= 64 ? "met" : "missed");
    Stop(relay);
    Stop(sim);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
