// The JSON fleet description.
#include "internal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kelvo::devsim {

namespace {

bool read_text(const QJsonObject &o, const char *key, std::string &out, std::string &err) {
    if (!o.contains(key))
        return true;
    if (!o[key].isString()) {
        err = std::string("\"") + key + "\" must be a text";
        return false;
    }
    out = o[key].toString().toStdString();
    return true;
}

template <typename T>
bool read_number(const QJsonObject &o, const char *key, T &out, double lo, double hi,
                 std::string &err) {
    if (!o.contains(key))
        return true;
    const double v = o[key].toDouble(-1e300);
    if (!o[key].isDouble() || v < lo || v > hi ||
        v != static_cast<double>(static_cast<long long>(v))) {
        err = std::string("\"") + key + "\" must be a whole number from " +
              std::to_string(static_cast<long long>(lo)) + " to " +
              std::to_string(static_cast<long long>(hi));
        return false;
    }
    out = static_cast<T>(v);
    return true;
}

bool read_bool(const QJsonObject &o, const char *key, bool &out, std::string &err) {
    if (!o.contains(key))
        return true;
    if (!o[key].isBool()) {
        err = std::string("\"") + key + "\" must be true or false";
        return false;
    }
    out = o[key].toBool();
    return true;
}

bool read_faults(const QJsonObject &o, Faults &f, std::string &err) {
    static const QStringList known = {
        "reply_delay_ms", "drop_replies", "duplicate_replies", "bad_auth",      "http_silent",
        "http_delay_ms",  "slow_body_ms", "oversize",          "malformed_xml", "http_status"};
    for (const auto &k : o.keys())
        if (!known.contains(k)) {
            err = "unknown fault \"" + k.toStdString() + "\"";
            return false;
        }
    return read_number(o, "reply_delay_ms", f.reply_delay_ms, 0, 60000, err) &&
           read_bool(o, "drop_replies", f.drop_replies, err) &&
           read_number(o, "duplicate_replies", f.duplicate_replies, 0, 10, err) &&
           read_bool(o, "bad_auth", f.bad_auth, err) &&
           read_bool(o, "http_silent", f.http_silent, err) &&
           read_number(o, "http_delay_ms", f.http_delay_ms, 0, 60000, err) &&
           read_number(o, "slow_body_ms", f.slow_body_ms, 0, 10000, err) &&
           read_number(o, "oversize", f.oversize, 0, 1 << 20, err) &&
           read_bool(o, "malformed_xml", f.malformed_xml, err) &&
           read_number(o, "http_status", f.http_status, 0, 599, err);
}

bool read_device(const QJsonObject &o, DeviceConfig &c, std::string &err) {
    std::string token;
    std::string caps;
    bool ok = read_text(o, "mac", c.mac, err) && read_number(o, "type", c.type, 0, 31, err) &&
              read_number(o, "ext_type", c.ext_type, 0, 65535, err) &&
              read_text(o, "type_name", c.type_name, err) &&
              read_number(o, "capabilities", c.capabilities, 0, 255, err) &&
              read_bool(o, "setup_auth_required", c.setup_auth_required, err) &&
              read_text(o, "setup_user", c.setup_user, err) &&
              read_text(o, "setup_password", c.setup_password, err) &&
              read_number(o, "ext_value", c.ext_value, 0, 65535, err) &&
              read_text(o, "model", c.model, err) && read_text(o, "title", c.title, err) &&
              read_text(o, "name", c.name, err) && read_text(o, "ip", c.ip, err) &&
              read_text(o, "mask", c.mask, err) && read_text(o, "gateway", c.gateway, err) &&
              read_text(o, "filter_ip", c.filter_ip, err) &&
              read_text(o, "filter_mask", c.filter_mask, err) &&
              read_number(o, "port", c.port, 0, 65535, err) &&
              read_number(o, "setup_port", c.setup_port, 0, 65535, err) &&
              read_bool(o, "tea_enabled", c.tea_enabled, err) &&
              read_bool(o, "nvt_enabled", c.nvt_enabled, err) &&
              read_bool(o, "tcp_setup_enabled", c.tcp_setup_enabled, err) &&
              read_bool(o, "dhcp_supported", c.dhcp_supported, err) &&
              read_bool(o, "dhcp_enabled", c.dhcp_enabled, err) &&
              read_number(o, "fw_major", c.fw_major, 0, 7, err) &&
              read_number(o, "fw_minor", c.fw_minor, 0, 15, err) &&
              read_number(o, "fw_build", c.fw_build, 0, 15, err) &&
              read_text(o, "http_user", c.http_user, err) &&
              read_text(o, "http_password", c.http_password, err) &&
              read_number(o, "inputs", c.inputs, 0, kMaxListEntries, err) &&
              read_number(o, "outputs", c.outputs, 0, kMaxListEntries, err) &&
              read_number(o, "sensors", c.sensors, 0, kMaxListEntries, err);
    if (!ok)
        return false;
    if (!c.mac.empty()) {
        std::array<std::uint8_t, 6> m{};
        if (!parse_mac(c.mac, m)) {
            err = "\"mac\" must look like 02:4B:56:00:00:01";
            return false;
        }
    }
    if (!c.ip.empty() && !is_loopback_text(c.ip)) {
        err = "\"ip\" must be a 127.x.x.x address";
        return false;
    }
    if (c.name.size() > 99 || c.type_name.size() > 100) {
        err = "\"name\" or \"type_name\" too long";
        return false;
    }
    if (o.contains("faults")) {
        if (!o["faults"].isObject()) {
            err = "\"faults\" must be an object";
            return false;
        }
        return read_faults(o["faults"].toObject(), c.faults, err);
    }
    return true;
}

} // namespace

bool load_fleet_file(const std::string &path, FleetConfig &out, std::string *error) {
    std::string err;
    auto fail = [&](const std::string &why) {
        if (error)
            *error = path + ": " + why;
        return false;
    };
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString().toStdString());
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(4 << 20), &pe);
    if (pe.error != QJsonParseError::NoError)
        return fail(pe.errorString().toStdString() + " at offset " + std::to_string(pe.offset));
    if (!doc.isObject())
        return fail("the description must be a JSON object");
    const QJsonObject root = doc.object();
    if (root.contains("udp")) {
        if (!root["udp"].isString() ||
            !parse_endpoint(root["udp"].toString().toStdString(), out.udp_address, out.udp_port))
            return fail("\"udp\" must be ADDR:PORT");
    }
    if (!read_text(root, "log", out.log_path, err))
        return fail(err);
    bool ephemeral = false;
    if (!read_bool(root, "ephemeral", ephemeral, err))
        return fail(err);
    if (root.contains("devices")) {
        if (!root["devices"].isArray())
            return fail("\"devices\" must be a list");
        int i = 0;
        for (const auto &v : root["devices"].toArray()) {
            if (!v.isObject())
                return fail("device " + std::to_string(i) + " must be an object");
            DeviceConfig c;
            if (ephemeral)
                c.port = c.setup_port = 0;
            if (!read_device(v.toObject(), c, err))
                return fail("device " + std::to_string(i) + ": " + err);
            out.devices.push_back(c);
            ++i;
        }
    }
    unsigned count = 0;
    if (!read_number(root, "count", count, 0, 5000, err))
        return fail(err);
    if (count) {
        std::string first = "127.0.10.1";
        if (!read_text(root, "first_ip", first, err))
            return fail(err);
        auto mix = mixed_devices(count, ephemeral, first);
        // Listed devices keep the first addresses; the mix follows them.
        for (std::size_t k = 0; k < mix.size(); ++k)
            mix[k].mac.clear();
        out.devices.insert(out.devices.end(), mix.begin(), mix.end());
    }
    if (out.devices.size() > 5000)
        return fail("at most 5000 devices");
    return true;
}

} // namespace kelvo::devsim
