#include "setupplan.h"

#include "devicetext.h"
#include "discovery.h"
#include "qvtext.h"
#include "textutil.h"
#include "wire.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <set>
#include <string_view>
#include <thread>

namespace kelvo::cli {

namespace {

template <std::size_t N> void SetText(char (&field)[N], const std::string &text) {
    std::snprintf(field, N, "%s", text.c_str());
}

const char *OnOff(bool v) {
    return v ? "on" : "off";
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The address as a number, first octet highest (the text is checked).
std::uint32_t AddressValue(const std::string &text) {
    std::uint8_t b[4] = {};
    qv::parse_dotted_ipv4(text, b);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

std::string AddressText(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    char text[16];
    qvudps::format_ipv4(b, text);
    return text;
}

} // namespace

bool ParseSettingsCsv(const std::string &text, std::vector<PlannedSetup> &plan,
                      std::vector<std::string> &errors) {
    plan.clear();
    errors.clear();
    std::vector<std::vector<std::string>> records;
    std::vector<int> lines;
    std::string error;
    if (text.size() > kMaxSettingsFileBytes) {
        errors.push_back("the file is larger than " + std::to_string(kMaxSettingsFileBytes) +
                         " bytes");
        return false;
    }
    if (!SplitCsv(text, records, lines, &error)) {
        errors.push_back(error);
        return false;
    }
    if (records.empty()) {
        errors.push_back("the file is empty: it needs a header line with a MAC column");
        return false;
    }
    enum Column { kIgnored, kMac, kName, kIp, kMask, kGateway, kPort };
    static const std::vector<std::pair<std::string, Column>> known = {{"mac", kMac},
                                                                      {"name", kName},
                                                                      {"ip", kIp},
                                                                      {"mask", kMask},
                                                                      {"gateway", kGateway},
                                                                      {"port", kPort},
                                                                      {"type", kIgnored},
                                                                      {"device type", kIgnored},
                                                                      {"firmware", kIgnored},
                                                                      {"web port", kIgnored},
                                                                      {"tcp setup port", kIgnored},
                                                                      {"parameters", kIgnored}};
    std::vector<Column> columns;
    std::set<Column> seen;
    for (const auto &name : records[0]) {
        const auto it = std::find_if(known.begin(), known.end(),
                                     [&](const auto &k) { return k.first == Lower(name); });
        if (it == known.end()) {
            errors.push_back("line 1: unknown column \"" + name + "\"");
            return false;
        }
        if (it->second != kIgnored && !seen.insert(it->second).second) {
            errors.push_back("line 1: column \"" + name + "\" twice");
            return false;
        }
        columns.push_back(it->second);
    }
    if (!seen.count(kMac)) {
        errors.push_back("line 1: no MAC column");
        return false;
    }
    if (records.size() - 1 > kMaxBatch) {
        errors.push_back("more than " + std::to_string(kMaxBatch) + " devices in one file");
        return false;
    }
    std::set<std::string> macs;
    for (size_t r = 1; r < records.size(); ++r) {
        const std::string where = "line " + std::to_string(lines[r]) + ": ";
        if (records[r].size() != columns.size()) {
            errors.push_back(where + std::to_string(records[r].size()) + " cells, the header has " +
                             std::to_string(columns.size()));
            continue;
        }
        PlannedSetup row;
        row.line = lines[r];
        std::string fault;
        for (size_t c = 0; c < columns.size() && fault.empty(); ++c) {
            const std::string cell = CsvUnprotected(records[r][c]);
            if (cell.empty() && columns[c] != kMac)
                continue;
            auto address = [&](std::optional<std::string> &field, const char *what) {
                if (IsDottedIPv4(cell))
                    field = cell;
                else
                    fault = std::string(what) + " is not a dotted IPv4 address: " + cell;
            };
            int port = 0;
            switch (columns[c]) {
            case kIgnored:
                break;
            case kMac:
                if (!ParseMac(cell, &row.mac))
                    fault = "not a MAC address: " + cell;
                else if (!macs.insert(row.mac).second)
                    fault = row.mac + " appears twice";
                break;
            case kName:
                row.changes.name = cell;
                break;
            case kIp:
                address(row.changes.ip, "IP");
                break;
            case kMask:
                address(row.changes.mask, "Mask");
                break;
            case kGateway:
                address(row.changes.gateway, "Gateway");
                break;
            case kPort:
                if (ParseNumber(cell, 0, 65535, &port))
                    row.changes.port = static_cast<std::uint16_t>(port);
                else
                    fault = "Port must be 0 to 65535: " + cell;
                break;
            }
        }
        if (!fault.empty())
            errors.push_back(where + fault);
        else
            plan.push_back(row);
    }
    if (plan.empty() && errors.empty())
        errors.push_back("the file names no device");
    if (!errors.empty())
        plan.clear();
    return errors.empty();
}

bool AddressRange(const std::string &text, std::size_t count, std::vector<std::string> &out,
                  std::string *error) {
    out.clear();
    const auto dash = text.find('-');
    const std::string first = text.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : text.substr(dash + 1);
    if (!IsDottedIPv4(first) || !IsDottedIPv4(last)) {
        *error = "--ip-range needs FIRST or FIRST-LAST, dotted IPv4 addresses: " + text;
        return false;
    }
    const std::uint64_t from = AddressValue(first);
    const std::uint64_t to = dash == std::string::npos ? from + count - 1 : AddressValue(last);
    if (to < from || to > 0xFFFFFFFFu || to - from + 1 < count) {
        *error = "--ip-range " + text + " holds fewer addresses than the " + std::to_string(count) +
                 " device(s)";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(AddressText(static_cast<std::uint32_t>(from + i)));
    return true;
}

SetupChanges Merged(const SetupChanges &base, const SetupChanges &over) {
    SetupChanges out = base;
    auto take = [](auto &to, const auto &from) {
        if (from)
            to = from;
    };
    take(out.ip, over.ip);
    take(out.mask, over.mask);
    take(out.gateway, over.gateway);
    take(out.name, over.name);
    take(out.filterIp, over.filterIp);
    take(out.filterMask, over.filterMask);
    take(out.port, over.port);
    take(out.dhcp, over.dhcp);
    take(out.tcpSetup, over.tcpSetup);
    take(out.tea, over.tea);
    take(out.nvt, over.nvt);
    return out;
}

SetupChanges OnlyDifferences(const qvudps_module &d, const SetupChanges &c) {
    SetupChanges out = c;
    auto same = [](std::optional<std::string> &field, const std::string &have) {
        if (field && *field == have)
            field.reset();
    };
    // A fed-back search list shows the name as its CSV showed it.
    if (out.name && (*out.name == FieldText(d.name) || *out.name == CsvText(FieldText(d.name))))
        out.name.reset();
    same(out.ip, FieldText(d.ip));
    same(out.mask, FieldText(d.mask));
    same(out.gateway, FieldText(d.gateway));
    same(out.filterIp, FieldText(d.filter_ip));
    same(out.filterMask, FieldText(d.filter_mask));
    if (out.port && *out.port == d.port)
        out.port.reset();
    auto flag = [](std::optional<bool> &field, std::uint8_t have) {
        if (field && *field == (have != 0))
            field.reset();
    };
    flag(out.dhcp, d.dhcp_enabled);
    flag(out.tcpSetup, d.tcp_setup_enabled);
    flag(out.tea, d.tea_enabled);
    flag(out.nvt, d.nvt_enabled);
    return out;
}

std::string UnsupportedChange(const qvudps_module &d, const SetupChanges &c) {
    if (c.name && !d.name_supported)
        return "this device has no name that can be set";
    if (c.dhcp && !d.dhcp_supported)
        return "this device does not support DHCP";
    if (c.tcpSetup && !d.tcp_setup_supported)
        return "this device has no TCP setup";
    if (c.tea && !d.tea_supported)
        return "this device does not support TEA authorisation";
    if (c.nvt && !d.nvt_supported)
        return "this device has no NVT mode";
    if ((c.filterIp || c.filterMask) && !d.filter_supported)
        return "this device has no IP access filter";
    if (c.name && c.name->size() > kMaxNameBytes)
        return "the name is " + std::to_string(c.name->size()) +
               " bytes of UTF-8; a device keeps at most " + std::to_string(kMaxNameBytes) +
               " and it is not cut";
    if (c.ip || c.mask) {
        qvudps_module s = d;
        ApplyChanges(s, c);
        const bool dhcp = c.dhcp ? *c.dhcp : d.dhcp_enabled != 0;
        if (const std::string fault = host::AddressFault(FieldText(s.ip), FieldText(s.mask));
            !dhcp && !fault.empty())
            return fault;
    }
    return "";
}

std::string RangeFault(const std::vector<qvudps_module> &settings) {
    if (settings.empty())
        return "";
    const std::uint32_t first = AddressValue(FieldText(settings[0].ip));
    for (const auto &s : settings) {
        const int prefix = host::PrefixLength(FieldText(s.mask));
        const std::uint32_t mask = prefix <= 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
        if (prefix > 0 && (AddressValue(FieldText(s.ip)) & mask) != (first & mask))
            return FieldText(s.ip) + " lies outside the subnet " + AddressText(first & mask) + "/" +
                   std::to_string(prefix) + " of " + FieldText(settings[0].ip);
    }
    return "";
}

std::map<std::string, int> PingAll(const std::vector<std::string> &addresses,
                                   const host::PingFunction &ping) {
    const std::vector<std::string> distinct = [&] {
        std::set<std::string> seen;
        std::vector<std::string> out;
        for (const auto &a : addresses)
            if (seen.insert(a).second)
                out.push_back(a);
        return out;
    }();
    std::vector<int> answers(distinct.size(), 1);
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < std::min(kParallelPings, distinct.size()); ++w)
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < distinct.size();)
                answers[i] = ping(distinct[i]);
        });
    for (auto &t : workers)
        t.join();
    std::map<std::string, int> out;
    for (std::size_t i = 0; i < distinct.size(); ++i)
        out[distinct[i]] = answers[i];
    return out;
}

void ApplyChanges(qvudps_module &r, const SetupChanges &c) {
    if (c.name)
        SetText(r.name, CutUtf8(*c.name, kMaxNameBytes));
    if (c.ip)
        SetText(r.ip, *c.ip);
    if (c.mask)
        SetText(r.mask, *c.mask);
    if (c.gateway)
        SetText(r.gateway, *c.gateway);
    if (c.filterIp)
        SetText(r.filter_ip, *c.filterIp);
    if (c.filterMask)
        SetText(r.filter_mask, *c.filterMask);
    if (c.port)
        r.port = *c.port;
    if (c.dhcp)
        r.dhcp_enabled = *c.dhcp ? 1 : 0;
    if (c.tcpSetup)
        r.tcp_setup_enabled = *c.tcpSetup ? 1 : 0;
    if (c.tea)
        r.tea_enabled = *c.tea ? 1 : 0;
    if (c.nvt)
        r.nvt_enabled = *c.nvt ? 1 : 0;
}

std::vector<std::string> Mismatches(const qvudps_module &r, const SetupChanges &c) {
    std::vector<std::string> out;
    auto text = [&](const char *what, const std::optional<std::string> &want,
                    const std::string &have) {
        if (want && *want != have)
            out.push_back(std::string(what) + ": expected " + *want + ", device reports " + have);
    };
    auto flag = [&](const char *what, const std::optional<bool> &want, std::uint8_t have) {
        if (want && *want != (have != 0))
            out.push_back(std::string(what) + ": expected " + OnOff(*want) + ", device reports " +
                          OnOff(have != 0));
    };
    const bool dhcpOn = c.dhcp && *c.dhcp;
    if (!dhcpOn) {
        text("ip", c.ip, FieldText(r.ip));
        text("mask", c.mask, FieldText(r.mask));
        text("gateway", c.gateway, FieldText(r.gateway));
    }
    if (c.name)
        text("name", CutUtf8(*c.name, kMaxNameBytes), FieldText(r.name));
    text("filter ip", c.filterIp, FieldText(r.filter_ip));
    text("filter mask", c.filterMask, FieldText(r.filter_mask));
    if (c.port && *c.port != r.port)
        out.push_back("port: expected " + std::to_string(*c.port) + ", device reports " +
                      std::to_string(r.port));
    flag("dhcp", c.dhcp, r.dhcp_enabled);
    flag("tcp-setup", c.tcpSetup, r.tcp_setup_enabled);
    flag("tea", c.tea, r.tea_enabled);
    flag("nvt", c.nvt, r.nvt_enabled);
    return out;
}

bool AskBeforeSetup(const qvudps_module &r, const std::string &currentIp, bool checkAddress,
                    host::HostPrompts &prompts, const host::PingFunction &ping,
                    std::vector<std::string> *notes) {
    if (r.port == 99 &&
        !prompts.confirm("Port 99 is reserved for UDP Setup and its usage is not strictly "
                         "recommended!\r\n\r\nAre you sure to use this conflict port?"))
        return false;
    if (!checkAddress || r.dhcp_enabled)
        return true;
    const std::string ip = FieldText(r.ip);
    if (!host::CheckNewAddress(ip, FieldText(r.mask), FieldText(r.gateway), prompts))
        return false;
    if (ip == currentIp)
        return true;
    switch (ping(ip)) {
    case 0:
        return prompts.confirm("IP address is already assigned to other equipement!\r\n\r\nAre "
                               "you sure to use this conflict IP address?");
    case 1:
        return true;
    default:
        if (notes)
            notes->push_back("Testing ping failed. Sending new settings...");
        return true;
    }
}

} // namespace kelvo::cli
