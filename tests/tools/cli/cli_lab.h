// A simulated fleet behind a real relay, and kelvo-cli's commands run
// against them in-process. Everything stays on 127.0.0.0/8; each test
// gives its fleet addresses of its own so that tests running in parallel
// never meet.
#pragma once

#include "commands.h"
#include "lab.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <sstream>
#include <string>

namespace kelvo::test {

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

class CliLab {
public:
    explicit CliLab(std::vector<kelvo::devsim::DeviceConfig> devices)
        : lab(std::move(devices), {"--linger", "5"}), fleet(&lab.fleet()), started(lab.ok()) {
        EXPECT_TRUE(started) << lab.error();
    }

    // The relay option every command gets.
    QStringList route() const { return {"--relay", QString::fromStdString(lab.relay_endpoint())}; }

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

    Lab lab;
    kelvo::devsim::Fleet *fleet;
    bool started = false;
};

} // namespace kelvo::test
