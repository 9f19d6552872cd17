// A simulated fleet and a relay in the test process, and kelvo-cli's commands
// run against them in-process. Everything stays on 127.0.0.0/8; each test
// gives its fleet addresses of its own so that tests running in parallel
// never meet.
#ifndef KELVO_CLI_TESTS_CLI_LAB_H
#define KELVO_CLI_TESTS_CLI_LAB_H

#include "commands.h"
#include "devsim.h"
#include "relay.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace clitest {

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

class CliLab {
public:
    explicit CliLab(std::vector<kelvo::devsim::DeviceConfig> devices) {
        kelvo::devsim::FleetConfig cfg;
        cfg.udp_port = 0;
        cfg.devices = std::move(devices);
        fleet = std::make_unique<kelvo::devsim::Fleet>(cfg);
        std::string err;
        started = fleet->start(&err);
        EXPECT_TRUE(started) << err;
        if (!started)
            return;
        kelvo::relay::Options options;
        options.listen_address = "127.0.0.1";
        options.listen_port = 0;
        options.verbose = 0;
        options.linger_ms = 5000;
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(fleet->udp_port());
        inet_pton(AF_INET, fleet->udp_address().c_str(), &sa.sin_addr);
        options.devices.push_back(sa);
        relay = std::make_unique<kelvo::relay::Relay>(options);
        started = relay->open(&err);
        EXPECT_TRUE(started) << err;
        if (!started || pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        thread = std::thread([this] { relay->run(stopPipe[0]); });
    }

    ~CliLab() {
        if (thread.joinable()) {
            const char b = 1;
            [[maybe_unused]] auto n = write(stopPipe[1], &b, 1);
            thread.join();
        }
        if (stopPipe[0] >= 0) {
            close(stopPipe[0]);
            close(stopPipe[1]);
        }
        relay.reset();
        fleet.reset();
    }

    // The relay option every command gets.
    QStringList route() const {
        return {"--relay", QString("127.0.0.1:%1").arg(relay ? relay->port() : 0)};
    }

    // Runs kelvo-cli with `args` and the relay; no MAC filter unless given.
    Result run(QStringList args, const kelvo::cli::Environment &env = quietEnvironment()) const {
        args.append(route());
        return runRaw(args, env);
    }

    static Result runRaw(const QStringList &args,
                         const kelvo::cli::Environment &env = quietEnvironment()) {
        std::ostringstream out, err;
        Result r;
        r.code = kelvo::cli::RunCli(args, out, err, env);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    static kelvo::cli::Environment quietEnvironment() {
        kelvo::cli::Environment env;
        env.filterFile = "/nonexistent/kelvo-cli.filter";
        env.ping = [](const std::string &) { return 1; };
        return env;
    }

    std::string mac(std::size_t i) const { return fleet->device(i).config.mac; }

    std::unique_ptr<kelvo::devsim::Fleet> fleet;
    std::unique_ptr<kelvo::relay::Relay> relay;
    bool started = false;

private:
    std::thread thread;
    int stopPipe[2] = {-1, -1};
};

} // namespace clitest

#endif
