#include "setupplan.h"

#include "devicetext.h"
#include "textutil.h"

#include <cstdio>

namespace kelvo::cli {

namespace {

template <std::size_t N> void SetText(char (&field)[N], const std::string &text) {
    std::snprintf(field, N, "%s", text.c_str());
}

const char *OnOff(bool v) {
    return v ? "on" : "off";
}

} // namespace

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
    return "";
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
