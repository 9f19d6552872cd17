#include "devicelistformat.h"

#include "devicetext.h"
#include "tabletext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace kelvo::host {

namespace {

QString Q(const std::string &s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string Hex(const std::uint8_t *bytes, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

} // namespace

QJsonObject DeviceJson(const qvudps_module &m) {
    QJsonObject o;
    o["mac"] = Q(FieldText(m.mac));
    o["name"] = Q(FieldText(m.name));
    o["ip"] = Q(FieldText(m.ip));
    o["mask"] = Q(FieldText(m.mask));
    o["gateway"] = Q(FieldText(m.gateway));
    o["filter_ip"] = Q(FieldText(m.filter_ip));
    o["filter_mask"] = Q(FieldText(m.filter_mask));
    o["type"] = m.type;
    o["type_name"] = Q(FieldText(m.type_name));
    o["firmware"] = Q(FieldText(m.firmware));
    o["fw_major"] = m.fw_major;
    o["fw_minor"] = m.fw_minor;
    o["fw_build"] = m.fw_build;
    o["port"] = m.port;
    o["web_port"] = m.web_port;
    o["tcp_setup_port"] = m.tcp_setup_port;
    o["parameters"] = Q(ParametersText(m));
    QJsonObject caps;
    caps["web_supported"] = m.web_supported != 0;
    caps["defaults_supported"] = m.defaults_supported != 0;
    caps["nvt_supported"] = m.nvt_supported != 0;
    caps["tea_supported"] = m.tea_supported != 0;
    caps["tcp_setup_supported"] = m.tcp_setup_supported != 0;
    caps["filter_supported"] = m.filter_supported != 0;
    caps["name_supported"] = m.name_supported != 0;
    caps["dhcp_supported"] = m.dhcp_supported != 0;
    caps["setup_auth_required"] = m.setup_auth_required != 0;
    caps["config_files"] = SupportsConfigFiles(m.type);
    o["capabilities"] = caps;
    QJsonObject flags;
    flags["tea_enabled"] = m.tea_enabled != 0;
    flags["nvt_enabled"] = m.nvt_enabled != 0;
    flags["tcp_setup_enabled"] = m.tcp_setup_enabled != 0;
    flags["dhcp_enabled"] = m.dhcp_enabled != 0;
    flags["load_defaults"] = m.load_defaults != 0;
    o["flags"] = flags;
    QJsonObject raw;
    raw["version"] = m.raw_version;
    raw["type"] = m.raw_type;
    raw["flags"] = m.raw_flags;
    raw["reserved"] = m.raw_reserved;
    raw["token"] = Q(Hex(m.token, sizeof m.token));
    raw["ext_value"] = m.ext_value;
    o["raw"] = raw;
    return o;
}

bool ParseFormat(const std::string &text, Format *format) {
    if (text == "table")
        *format = Format::Table;
    else if (text == "csv")
        *format = Format::Csv;
    else if (text == "json")
        *format = Format::Json;
    else
        return false;
    return true;
}

std::vector<qvudps_module> SortedByMac(std::vector<qvudps_module> devices) {
    std::stable_sort(devices.begin(), devices.end(),
                     [](const qvudps_module &a, const qvudps_module &b) {
                         return FieldText(a.mac) < FieldText(b.mac);
                     });
    return devices;
}

std::vector<std::string> DeviceHeader() {
    return {"MAC",         "Name",     "IP",   "Mask",     "Gateway",        "Type",
            "Device type", "Firmware", "Port", "Web port", "TCP setup port", "Parameters"};
}

std::vector<std::string> DeviceRow(const qvudps_module &m) {
    return {FieldText(m.mac),
            FieldText(m.name),
            FieldText(m.ip),
            FieldText(m.mask),
            FieldText(m.gateway),
            std::to_string(m.type),
            FieldText(m.type_name),
            FieldText(m.firmware),
            std::to_string(m.port),
            std::to_string(m.web_port),
            std::to_string(m.tcp_setup_port),
            ParametersText(m)};
}

std::string FormatDevices(const std::vector<qvudps_module> &devices, Format format) {
    if (format == Format::Json) {
        QJsonArray list;
        for (const auto &m : devices)
            list.append(DeviceJson(m));
        return QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto &m : devices)
        rows.push_back(DeviceRow(m));
    return format == Format::Csv ? FormatCsv(DeviceHeader(), rows)
                                 : FormatTable(DeviceHeader(), rows);
}

} // namespace kelvo::host
