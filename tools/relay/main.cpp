// kelvo-relay: the local UDP relay between Kelvo and the device network.
//
// Prints "kelvo-relay listening ADDR:PORT" as its first line and serves until
// it is told to stop (SIGINT or SIGTERM, Ctrl+C, the service manager).
#include "kelvo_version.h"
#include "program.h"
#include "qvtext.h"
#include "relay_net.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

bool parse_endpoint(const QString &text, std::string &address, std::uint16_t &port) {
    const auto colon = text.lastIndexOf(':');
    const QString a = colon < 0 ? text : text.left(colon);
    std::uint8_t tmp[4];
    if (!qv::parse_dotted_ipv4(a.toStdString(), tmp))
        return false;
    if (colon >= 0) {
        bool ok = false;
        const uint v = text.mid(colon + 1).toUInt(&ok);
        if (!ok || v > 65535)
            return false;
        port = static_cast<std::uint16_t>(v);
    }
    address = a.toStdString();
    return true;
}

int bad(const char *what) {
    std::fprintf(stderr, "kelvo-relay: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kelvo-relay");
    QCoreApplication::setApplicationVersion(KELVO_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Relays Kelvo's UDP search requests and setup messages to the devices and their replies "
        "back. Without --devices it broadcasts on every up IPv4 interface (or the --interface "
        "ones).");
    const QCommandLineOption help_option = parser.addHelpOption();
    const QCommandLineOption version_option = parser.addVersionOption();
    const QCommandLineOption listen("listen", "Address to listen on (default 127.0.0.1:9999).",
                                    "ADDR:PORT", "127.0.0.1:9999");
    const QCommandLineOption devices(
        "devices", "Send by unicast to this device address instead of broadcasting (repeatable).",
        "ADDR:PORT");
    const QCommandLineOption interface_option(
        "interface", "Broadcast on this interface only (repeatable; default: every up one).",
        "NAME");
    const QCommandLineOption linger("linger", "Seconds to forward replies to a search (10).",
                                    "SECONDS", "10");
    const QCommandLineOption repeat("repeat", "Times a search request is sent, 100 ms apart (2).",
                                    "N", "2");
    const QCommandLineOption verbose("verbose", "0 errors, 1 requests and drops, 2 every reply.",
                                     "LEVEL", "1");
    parser.addOptions({listen, devices, interface_option, linger, repeat, verbose});
    const auto extra = kelvo::relay::platform_options();
    parser.addOptions(extra);
    // Printed here rather than by Qt, which on Windows shows them in a
    // message box where no console is attached (a pipe, a service).
    if (!parser.parse(app.arguments()))
        return bad(qPrintable(parser.errorText()));
    if (parser.isSet(help_option)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version_option)) {
        std::printf("kelvo-relay %s\n", KELVO_VERSION);
        return 0;
    }

    kelvo::relay::Options options;
    if (!parse_endpoint(parser.value(listen), options.listen_address, options.listen_port))
        return bad("--listen wants ADDR:PORT");
    for (const auto &d : parser.values(devices)) {
        std::string address;
        std::uint16_t port = qvudps::device_port;
        if (!parse_endpoint(d, address, port) || port == 0)
            return bad("--devices wants ADDR:PORT");
        sockaddr_in sa;
        kelvo::relay::make_endpoint(address, port, sa);
        options.devices.push_back(sa);
    }
    for (const auto &name : parser.values(interface_option)) {
        if (name.isEmpty() ||
            static_cast<std::size_t>(name.toUtf8().size()) > kelvo::relay::interface_name_max)
            return bad("--interface wants an interface name");
        options.interfaces.push_back(name.toStdString());
    }
    if (!options.interfaces.empty() && !options.devices.empty())
        return bad("--interface and --devices exclude each other");
    bool ok = false;
    const double seconds = parser.value(linger).toDouble(&ok);
    if (!ok || seconds < 0.1 || seconds > 600)
        return bad("--linger wants 0.1 to 600 seconds");
    options.linger_ms = static_cast<int>(seconds * 1000);
    options.repeat = parser.value(repeat).toInt(&ok);
    if (!ok || options.repeat < 1 || options.repeat > 10)
        return bad("--repeat wants 1 to 10");
    options.verbose = parser.value(verbose).toInt(&ok);
    if (!ok || options.verbose < 0 || options.verbose > 2)
        return bad("--verbose wants 0, 1 or 2");

    QStringList given, relay_arguments;
    for (const auto &o : extra)
        if (parser.isSet(o))
            given << o.names().first();
    // The relay's own options as given, for a service to be started with.
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i].section('=', 0, 0);
        while (name.startsWith('-'))
            name.remove(0, 1);
        const bool platform = arguments[i].startsWith('-') &&
                              std::any_of(extra.begin(), extra.end(),
                                          [&](const auto &o) { return o.names().contains(name); });
        if (!platform)
            relay_arguments << arguments[i];
    }
    return kelvo::relay::serve(options, given, relay_arguments);
}

namespace kelvo::relay {

int run_relay(const Options &options, StopHandle stop, int inherited, std::FILE *out,
              const std::function<void()> &listening) {
    Relay relay(options);
    std::string error;
    // A service manager that holds the address hands its socket over; then
    // --listen is not used.
    if (inherited == -2 ||
        !(inherited >= 0 ? relay.adopt(static_cast<qv_socket_t>(inherited), &error)
                         : relay.open(&error))) {
        std::fprintf(options.log, "kelvo-relay: %s\n", error.c_str());
        std::fflush(options.log);
        return 1;
    }
    std::fprintf(out, "kelvo-relay listening %s\n", relay.address_text().c_str());
    std::fflush(out);
    if (listening)
        listening();
    if (options.devices.empty() && options.verbose >= 1) {
        std::string where;
        for (const auto &t : broadcast_targets(qvudps::device_port, options.interfaces))
            where += " " + log_text(t.interface_name);
        std::fprintf(options.log, "kelvo-relay: broadcasting on%s\n",
                     where.empty() ? " no interface yet" : where.c_str());
    }
    const int rc = relay.run(stop);
    const auto &s = relay.stats();
    std::fprintf(
        options.log,
        "kelvo-relay: stopped; %llu searches, %llu setups, %llu probes, %llu replies, %llu "
        "dropped, %llu gave way, %llu refused\n",
        static_cast<unsigned long long>(s.searches), static_cast<unsigned long long>(s.setups),
        static_cast<unsigned long long>(s.probes), static_cast<unsigned long long>(s.replies),
        static_cast<unsigned long long>(s.dropped), static_cast<unsigned long long>(s.evicted),
        static_cast<unsigned long long>(s.refused));
    std::fflush(options.log);
    return rc;
}

} // namespace kelvo::relay
