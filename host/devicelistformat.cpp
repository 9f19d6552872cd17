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

// The yes/no fields of a record by their names in the JSON, under
// "capabilities" or "flags".
constexpr struct {
    bool capability;
    const char *name;
    std::uint8_t qvudps_module::*field;
} kYesNo[] = {
    {true, "web_supported", &qvudps_module::web_supported},
    {true, "defaults_supported", &qvudps_module::defaults_supported},
    {true, "nvt_supported", &qvudps_module::nvt_supported},
    {true, "tea_supported", &qvudps_module::tea_supported},
    {true, "tcp_setup_supported", &qvudps_module::tcp_setup_supported},
    {true, "filter_supported", &qvudps_module::filter_supported},
    {true, "name_supported", &qvudps_module::name_supported},
    {true, "dhcp_supported", &qvudps_module::dhcp_supported},
    {true, "setup_auth_required", &qvudps_module::setup_auth_required},
    {false, "tea_enabled", &qvudps_module::tea_enabled},
    {false, "nvt_enabled", &qvudps_module::nvt_enabled},
    {false, "tcp_setup_enabled", &qvudps_module::tcp_setup_enabled},
    {false, "dhcp_enabled", &qvudps_module::dhcp_enabled},
    {false, "load_defaults", &qvudps_module::load_defaults},
};

QJsonObject YesNoJson(const qvudps_module &m, bool capabilities) {
    QJsonObject o;
    for (const auto &f : kYesNo)
        if (f.capability == capabilities)
            o[QLatin1String(f.name)] = m.*f.field != 0;
    return o;
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
    QJsonObject caps = YesNoJson(m, true);
    caps["config_files"] = SupportsConfigFiles(m.type);
    o["capabilities"] = caps;
    o["flags"] = YesNoJson(m, false);
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
