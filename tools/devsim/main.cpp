// kelvo-devsim: a fleet of simulated devices on loopback addresses.
//
// Prints "kelvo-devsim udp ADDR:PORT devices N" as its first line, then one
// line per device, and runs until SIGINT or SIGTERM.
#include "devsim.h"
#include "kelvo_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using namespace kelvo::devsim;

namespace {

bool apply_fault(FleetConfig &cfg, const std::string &spec, std::string &err) {
    // INDEX:NAME[=VALUE]
    const auto colon = spec.find(':');
    if (colon == std::string::npos || colon == 0) {
        err = "--fault wants INDEX:NAME[=VALUE], got " + spec;
        return false;
    }
    char *end = nullptr;
    const unsigned long index = std::strtoul(spec.c_str(), &end, 10);
    if (end != spec.c_str() + colon || index >= cfg.devices.size()) {
        err = "--fault: no device with index " + spec.substr(0, colon);
        return false;
    }
    std::string name = spec.substr(colon + 1);
    std::string value = "1";
    const auto eq = name.find('=');
    if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
    }
    char *vend = nullptr;
    const long v = std::strtol(value.c_str(), &vend, 10);
    if (value.empty() || *vend != '\0' || v < 0 || v > (1 << 20)) {
        err = "--fault " + spec + ": the value must be a number";
        return false;
    }
    Faults &f = cfg.devices[index].faults;
    const int iv = static_cast<int>(v);
    if (name == "reply_delay_ms")
        f.reply_delay_ms = iv;
    else if (name == "drop_replies")
        f.drop_replies = v != 0;
    else if (name == "duplicate_replies")
        f.duplicate_replies = iv > 10 ? 10 : iv;
    else if (name == "bad_auth")
        f.bad_auth = v != 0;
    else if (name == "http_silent")
        f.http_silent = v != 0;
    else if (name == "http_delay_ms")
        f.http_delay_ms = iv;
    else if (name == "slow_body_ms")
        f.slow_body_ms = iv;
    else if (name == "oversize")
        f.oversize = static_cast<std::size_t>(v);
    else if (name == "malformed_xml")
        f.malformed_xml = v != 0;
    else if (name == "http_status")
        f.http_status = iv;
    else {
        err = "--fault: unknown fault " + name;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kelvo-devsim");
    QCoreApplication::setApplicationVersion(KELVO_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated Kelvo devices on loopback addresses: UDP search and setup, HTTP documents, "
        "setup terminal.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen("listen", "UDP address of the fleet (default 127.0.0.2:9999).",
                                    "ADDR:PORT", "127.0.0.2:9999");
    const QCommandLineOption count("count", "Number of mixed devices (default 24 without --fleet).",
                                   "N");
    const QCommandLineOption first("first-ip", "Address of the first mixed device (127.0.10.1).",
                                   "ADDR", "127.0.10.1");
    const QCommandLineOption ephemeral(
        "ephemeral", "Let the system choose every device's HTTP and terminal port.");
    const QCommandLineOption fleet("fleet", "JSON fleet description.", "FILE");
    const QCommandLineOption log("log", "Append the log as JSON lines to FILE.", "FILE");
    const QCommandLineOption verbose("verbose", "Print every log entry to stderr.");
    const QCommandLineOption fault(
        "fault", "Fault of one device, e.g. 3:reply_delay_ms=500 or 0:http_status=403.",
        "INDEX:NAME[=VALUE]");
    parser.addOptions({listen, count, first, ephemeral, fleet, log, verbose, fault});
    parser.process(app);

    FleetConfig cfg;
    std::string err;
    if (parser.isSet(fleet) && !load_fleet_file(parser.value(fleet).toStdString(), cfg, &err)) {
        std::fprintf(stderr, "kelvo-devsim: %s\n", err.c_str());
        return 2;
    }
    if (parser.isSet(listen) || !parser.isSet(fleet)) {
        if (!parse_endpoint(parser.value(listen).toStdString(), cfg.udp_address, cfg.udp_port)) {
            std::fprintf(stderr, "kelvo-devsim: --listen wants ADDR:PORT\n");
            return 2;
        }
    }
    if (parser.isSet(count) || !parser.isSet(fleet)) {
        bool ok = false;
        const unsigned n = parser.isSet(count) ? parser.value(count).toUInt(&ok) : 24;
        if ((parser.isSet(count) && !ok) || n > 5000) {
            std::fprintf(stderr, "kelvo-devsim: --count wants 0 to 5000\n");
            return 2;
        }
        auto mix = mixed_devices(n, parser.isSet(ephemeral), parser.value(first).toStdString());
        for (auto &m : mix)
            if (!cfg.devices.empty())
                m.mac.clear();
        cfg.devices.insert(cfg.devices.end(), mix.begin(), mix.end());
    }
    if (parser.isSet(log))
        cfg.log_path = parser.value(log).toStdString();
    cfg.quiet = !parser.isSet(verbose);
    for (const auto &spec : parser.values(fault))
        if (!apply_fault(cfg, spec.toStdString(), err)) {
            std::fprintf(stderr, "kelvo-devsim: %s\n", err.c_str());
            return 2;
        }

    // The worker inherits this mask, so only sigwait below sees the signals.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    Fleet sim(cfg);
    if (!sim.start(&err)) {
        std::fprintf(stderr, "kelvo-devsim: %s\n", err.c_str());
        return 1;
    }
    std::printf("kelvo-devsim udp %s:%u devices %zu\n", sim.udp_address().c_str(), sim.udp_port(),
                sim.size());
    for (const auto &d : sim.devices())
        std::printf("%s %s type=%u port=%u http=%u setup=%u name=%s\n", d.config.mac.c_str(),
                    d.config.ip.c_str(), d.config.type, d.config.port, d.http_port, d.setup_port,
                    d.config.name.c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stop, &sig);
    std::fprintf(stderr, "kelvo-devsim: stopping (signal %d)\n", sig);
    sim.stop();
    return 0;
}
