#include "lab.h"

#include <algorithm>

namespace kelvo::test {

Lab::Lab(std::vector<kelvo::devsim::DeviceConfig> devices, std::vector<std::string> relay_args) {
    kelvo::devsim::FleetConfig config;
    config.udp_address = "127.0.0.2";
    config.udp_port = 0;
    config.devices = std::move(devices);
    fleet_ = std::make_unique<kelvo::devsim::Fleet>(config);
    if (!fleet_->start(&error_))
        return;
    fleet_port_ = fleet_->udp_port();
    start_relay(std::move(relay_args));
}

std::unique_ptr<Lab> Lab::processes(std::vector<std::string> devsim_args,
                                    std::vector<std::string> relay_args) {
    std::unique_ptr<Lab> lab(new Lab());
    std::vector<std::string> argv{KELVO_DEVSIM_PATH, "--listen", "127.0.0.2:0", "--ephemeral"};
    argv.insert(argv.end(), devsim_args.begin(), devsim_args.end());
    lab->devsim_ = std::make_unique<Process>(argv);
    // "kelvo-devsim udp ADDR:PORT devices N", then one line per device once
    // all of them listen.
    const std::string head = lab->devsim_->line();
    const auto count = head.find(" devices ");
    lab->fleet_port_ = port_in(head);
    if (lab->fleet_port_ == 0 || count == std::string::npos) {
        lab->error_ = "kelvo-devsim did not start: " + head;
        return lab;
    }
    for (unsigned long i = std::stoul(head.substr(count + 9)); i > 0; --i) {
        lab->device_lines_.push_back(lab->devsim_->line());
        if (lab->device_lines_.back().empty()) {
            lab->error_ = "kelvo-devsim did not list its devices";
            return lab;
        }
    }
    lab->start_relay(std::move(relay_args));
    return lab;
}

void Lab::start_relay(std::vector<std::string> relay_args) {
    const auto given = [&](const char *option) {
        return std::find(relay_args.begin(), relay_args.end(), option) != relay_args.end();
    };
    if (!given("--devices") && !given("--interface"))
        relay_args.insert(relay_args.begin(), {"--devices", fleet_endpoint()});
    // Its log goes to stderr; only the first line is read from stdout.
    if (!given("--verbose"))
        relay_args.insert(relay_args.end(), {"--verbose", "0"});
    std::vector<std::string> argv{KELVO_RELAY_PATH, "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), relay_args.begin(), relay_args.end());
    relay_ = std::make_unique<Process>(argv);
    const std::string head = relay_->line();
    if (head.rfind("kelvo-relay listening ", 0) == 0)
        relay_port_ = port_in(head);
    if (relay_port_ == 0)
        error_ = "kelvo-relay did not report its port: " + head;
}

int Lab::stop_relay() {
    return relay_ ? relay_->stop() : -1;
}

int Lab::stop_devsim() {
    return devsim_ ? devsim_->stop() : -1;
}

Lab::~Lab() {
    stop_relay();
    stop_devsim();
    if (fleet_)
        fleet_->stop();
}

} // namespace kelvo::test
