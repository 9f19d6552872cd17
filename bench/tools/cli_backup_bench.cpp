// Wall time and peak memory of "kelvo-cli backup" against a simulated fleet
// in which some web servers accept a connection and never answer: the backup
// served one device at a time (--parallel 1, the order of the former design,
// one multi-device handle serving its modules one after the other) beside
// the concurrent backup (--parallel 32), and the same two with every device
// answering (the mute ones hidden by a MAC filter file).
//
//   cli_backup_bench [DEVICES [MUTE]]        defaults 500 and 25
//
// The fleet (kelvo-devsim) and the relay (kelvo-relay) run as processes on
// loopback; each backup runs in a child process of its own, which reports
// its peak resident memory (VmHWM). Every process is stopped at the end.
#include "commands.h"

#include <QCoreApplication>
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

// One backup in a child process of its own, so that its peak memory is its own.
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
        const int rc = kelvo::cli::RunCli({"backup", QString::fromStdString(folder.string()),
                                           "--relay", QString::fromStdString(relay), "--no-names",
                                           "--quiet", "--parallel", QString::number(parallel)},
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
    } runs[] = {{"all answering, one at a time", 1, false},
                {"all answering, 32 at a time", 32, false},
                {"with mute, one at a time", 1, true},
                {"with mute, 32 at a time", 32, true}};
    Figures f[4];
    for (int i = 0; i < 4; ++i) {
        const fs::path folder = work / ("backup" + std::to_string(i));
        f[i] =
            Backup(relayAt, folder, runs[i].withMute ? work / "none.filter" : work / "mute.filter",
                   runs[i].parallel);
        std::printf("%-34s %9.2f %10.1f %6zu %6d\n", runs[i].name, f[i].seconds,
                    static_cast<double>(f[i].peakKiB) / 1024.0, f[i].files, f[i].exitCode);
        std::fflush(stdout);
    }
    std::printf("ratio one at a time / 32 at a time: all answering %.2f, with mute %.2f\n",
                f[0].seconds / f[1].seconds, f[2].seconds / f[3].seconds);
    std::printf("goals with mute: wall <= 15 s (%s), peak <= 64 MiB (%s)\n",
                f[3].seconds <= 15 ? "met" : "missed",
                static_cast<double>(f[3].peakKiB) / 1024.0 <= 64 ? "met" : "missed");
    Stop(relay);
    Stop(sim);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
