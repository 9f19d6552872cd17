#include "watch.h"

#include "devicelistformat.h"
#include "hostplatform.h"
#include "hostsecrets.h"
#include "qvfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>
#include <set>

namespace kelvo::watch {

namespace {

// Far above any plant's inventory (10,000 devices take about 10 MB), small
// enough that a wrong file named by mistake is not read into memory whole.
constexpr std::size_t kFileMax = 64u << 20;

// The window's names: the inventory lives in its data folder, whichever
// program asks.
const char kOrganization[] = "Marvane";
const char kApplication[] = "Kelvo";

QString Mac(const QJsonObject &fields) {
    return fields.value("mac").toString();
}

QString Text(const QJsonValue &value) {
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? "true" : "false";
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 16);
    case QJsonValue::String:
        return value.toString();
    default:
        return {};
    }
}

// A compared field's value as text: "dhcp" stands for flags.dhcp_enabled,
// the one compared field that is nested in the record.
QString FieldText(const QJsonObject &fields, const QString &field) {
    if (field == "dhcp")
        return Text(fields.value("flags").toObject().value("dhcp_enabled"));
    return Text(fields.value(field));
}

QString Iso(const QDateTime &time) {
    return time.toUTC().toString(Qt::ISODate);
}

QDateTime ParseIso(const QJsonValue &value) {
    auto time = QDateTime::fromString(value.toString(), Qt::ISODate);
    return time.isValid() ? time.toUTC() : QDateTime();
}

// The devices of one search by MAC; a MAC answering twice counts once, as
// first heard. Records without a MAC cannot be followed and are left out.
std::map<QString, const QJsonObject *> ByMac(const std::vector<QJsonObject> &list) {
    std::map<QString, const QJsonObject *> byMac;
    for (const auto &fields : list) {
        const auto mac = Mac(fields);
        if (!mac.isEmpty())
            byMac.emplace(mac, &fields);
    }
    return byMac;
}

Event MakeEvent(EventKind kind, const QDateTime &now, const QString &mac, const QJsonObject &fields,
                std::vector<Change> changes = {}) {
    Event event;
    event.time = now.toUTC();
    event.kind = kind;
    event.mac = mac;
    event.fields = fields;
    event.changes = std::move(changes);
    return event;
}

enum class Parsed { Ok, Missing, Failed };

// Reads and parses a JSON file of ours or the user's; `error` tells the path
// and why when it is refused or damaged.
Parsed ReadJson(const QString &path, QJsonDocument *document, QString *error) {
    std::string bytes;
    std::string why;
    const auto read = host::platform::ReadRegularFile(QDir::toNativeSeparators(path).toStdString(),
                                                      kFileMax, bytes, &why);
    if (read == host::platform::ReadResult::Missing)
        return Parsed::Missing;
    if (read == host::platform::ReadResult::Refused) {
        *error = QString::fromStdString(why);
        return Parsed::Failed;
    }
    QJsonParseError parse{};
    *document = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = QString("%1: not valid JSON (%2 at byte %3)")
                     .arg(path, parse.errorString())
                     .arg(parse.offset);
        return Parsed::Failed;
    }
    return Parsed::Ok;
}

// The devices of an inventory document; false with `why` when it is not one.
bool ParseInventory(const QJsonDocument &document, std::map<QString, Device> *devices,
                    QString *why) {
    const auto root = document.object();
    if (!document.isObject() || !root.value("devices").isArray()) {
        *why = "not a device inventory";
        return false;
    }
    if (root.value("version").toInt() != 1) {
        *why = "inventory version " + Text(root.value("version")) + " is not known here";
        return false;
    }
    std::map<QString, Device> parsed;
    for (const auto &item : root.value("devices").toArray()) {
        const auto entry = item.toObject();
        Device device;
        device.fields = entry.value("fields").toObject();
        device.firstSeen = ParseIso(entry.value("first_seen"));
        device.lastSeen = ParseIso(entry.value("last_seen"));
        const auto mac = entry.value("mac").toString();
        if (mac.isEmpty() || !device.firstSeen.isValid() || !device.lastSeen.isValid()) {
            *why = "damaged device entry";
            return false;
        }
        parsed[mac] = std::move(device);
    }
    *devices = std::move(parsed);
    return true;
}

} // namespace

QJsonObject FieldsOf(const qvudps_module &m) {
    return host::DeviceJson(m);
}

const QStringList &ComparedFields() {
    static const QStringList fields{
        "name", "ip",        "mask",     "gateway", "dhcp",     "filter_ip",     "filter_mask",
        "type", "type_name", "firmware", "port",    "web_port", "tcp_setup_port"};
    return fields;
}

std::vector<Change> Differences(const QJsonObject &before, const QJsonObject &after) {
    std::vector<Change> changes;
    for (const auto &field : ComparedFields()) {
        auto was = FieldText(before, field);
        auto now = FieldText(after, field);
        if (was != now)
            changes.push_back({field, std::move(was), std::move(now)});
    }
    return changes;
}

QString ChangesText(const std::vector<Change> &changes) {
    QStringList lines;
    for (const auto &change : changes)
        lines << QString("%1 %2 → %3").arg(change.field, change.before, change.after);
    return lines.join('\n');
}

QString EventName(EventKind kind) {
    switch (kind) {
    case EventKind::Appeared:
        return "appeared";
    case EventKind::Changed:
        return "changed";
    case EventKind::Gone:
        return "gone";
    case EventKind::Back:
        return "back";
    }
    return {};
}

QJsonObject EventJson(const Event &event) {
    QJsonObject line = event.fields;
    line["time"] = Iso(event.time);
    line["event"] = EventName(event.kind);
    line["mac"] = event.mac;
    if (event.kind == EventKind::Changed) {
        QJsonObject changes;
        for (const auto &change : event.changes)
            changes[change.field] = QJsonArray{change.before, change.after};
        line["changes"] = changes;
    }
    return line;
}

QString Inventory::DefaultPath() {
    // QStandardPaths knows only the running program's names: borrowed for
    // the one question, so that kelvo-cli finds the window's folder.
    const auto organization = QCoreApplication::organizationName();
    const auto application = QCoreApplication::applicationName();
    const bool borrow = organization != kOrganization || application != kApplication;
    if (borrow) {
        QCoreApplication::setOrganizationName(kOrganization);
        QCoreApplication::setApplicationName(kApplication);
    }
    auto folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (borrow) {
        QCoreApplication::setOrganizationName(organization);
        QCoreApplication::setApplicationName(application);
    }
    return folder.isEmpty() ? QString() : folder + "/inventory.json";
}

bool Inventory::Load(const QString &path, QString *error) {
    devices.clear();
    QJsonDocument document;
    QString why;
    switch (ReadJson(path, &document, &why)) {
    case Parsed::Missing:
        return true;
    case Parsed::Failed:
        *error = why + "; the file is kept as it is";
        return false;
    case Parsed::Ok:
        break;
    }
    if (!ParseInventory(document, &devices, &why)) {
        *error = path + ": " + why + "; the file is kept as it is";
        return false;
    }
    return true;
}

bool Inventory::Save(const QString &path, QString *error) const {
    // Another program (the window beside a "watch") may have saved since:
    // its devices are kept, the later sighting of each device wins. A file
    // that is no inventory is never replaced: it may be the user's.
    std::map<QString, Device> merged;
    QJsonDocument document;
    QString why;
    switch (ReadJson(path, &document, &why)) {
    case Parsed::Missing:
        break;
    case Parsed::Failed:
        *error = why + "; not replaced, the inventory is not saved";
        return false;
    case Parsed::Ok:
        if (!ParseInventory(document, &merged, &why)) {
            *error = path + ": " + why + "; not replaced, the inventory is not saved";
            return false;
        }
        break;
    }
    for (const auto &[mac, device] : devices) {
        auto [it, added] = merged.emplace(mac, device);
        if (added)
            continue;
        const auto firstSeen = std::min(it->second.firstSeen, device.firstSeen);
        if (device.lastSeen >= it->second.lastSeen)
            it->second = device;
        it->second.firstSeen = firstSeen;
    }
    QJsonArray list;
    for (const auto &[mac, device] : merged) {
        list.append(QJsonObject{{"mac", mac},
                                {"first_seen", Iso(device.firstSeen)},
                                {"last_seen", Iso(device.lastSeen)},
                                {"fields", device.fields}});
    }
    const auto bytes = QJsonDocument(QJsonObject{{"version", 1}, {"devices", list}})
                           .toJson(QJsonDocument::Compact);
    // The data folder is made owner-only; a folder the user named is only
    // created when missing (owner-only then), never changed.
    const auto folder = QFileInfo(path).absolutePath();
    const auto defaultPath = DefaultPath();
    const bool ours = !defaultPath.isEmpty() && folder == QFileInfo(defaultPath).absolutePath();
    std::string failure;
    if ((ours || !QFileInfo(folder).isDir()) &&
        (!QDir().mkpath(QFileInfo(folder).absolutePath()) ||
         !host::MakePrivateFolder(QDir::toNativeSeparators(folder).toStdString(), &failure))) {
        *error = failure.empty() ? "cannot create the folder " + folder
                                 : QString::fromStdString(failure);
        return false;
    }
    const auto native = QDir::toNativeSeparators(path).toStdString();
    const auto written =
        qv::write_file(native.c_str(), bytes.constData(), static_cast<std::size_t>(bytes.size()),
                       qv::write_mode::replace, 0600);
    if (!written.ok()) {
        *error = QString::fromStdString(qv::write_error_text(native, written));
        return false;
    }
    return true;
}

void Inventory::Record(const std::vector<QJsonObject> &found, const QDateTime &now) {
    for (const auto &[mac, fields] : ByMac(found)) {
        auto [it, added] = devices.try_emplace(mac);
        if (added)
            it->second.firstSeen = now.toUTC();
        it->second.lastSeen = now.toUTC();
        it->second.fields = *fields;
    }
}

void Tracker::Seed(const Inventory &known) {
    seeded = known.Devices();
}

std::vector<Event> Tracker::Search(const std::vector<QJsonObject> &found, const QDateTime &now) {
    ++searches;
    std::vector<Event> events;
    const auto heard = ByMac(found);
    for (const auto &[mac, fields] : heard) {
        auto it = devices.find(mac);
        if (it == devices.end()) {
            const auto known = seeded.find(mac);
            Device device;
            device.firstSeen = now.toUTC();
            if (known == seeded.end()) {
                device.state = State::New;
                events.push_back(MakeEvent(EventKind::Appeared, now, mac, *fields));
                first.added += searches == 1;
            } else {
                device.firstSeen = known->second.firstSeen;
                device.changes = Differences(known->second.fields, *fields);
                if (!device.changes.empty()) {
                    device.state = State::Changed;
                    events.push_back(
                        MakeEvent(EventKind::Changed, now, mac, *fields, device.changes));
                    first.changed += searches == 1;
                }
            }
            device.fields = *fields;
            device.lastSeen = now.toUTC();
            devices.emplace(mac, std::move(device));
            continue;
        }
        // Back and changed are two events when a device returns different:
        // each is a real change the log and a script should see.
        auto &device = it->second;
        if (device.state == State::Offline)
            events.push_back(MakeEvent(EventKind::Back, now, mac, *fields));
        auto changes = Differences(device.fields, *fields);
        if (!changes.empty()) {
            events.push_back(MakeEvent(EventKind::Changed, now, mac, *fields, changes));
            device.changes = std::move(changes);
        }
        // A returning device shows how it stood before it went silent.
        device.state = !device.changes.empty()  ? State::Changed
                       : seeded.count(mac) == 0 ? State::New
                                                : State::Normal;
        device.fields = *fields;
        device.lastSeen = now.toUTC();
        device.misses = 0;
    }
    for (auto &[mac, device] : devices) {
        if (heard.count(mac) != 0)
            continue;
        // Counted up to the threshold only, so "gone" is said once.
        if (device.misses < kMissesToOffline && ++device.misses == kMissesToOffline) {
            device.state = State::Offline;
            events.push_back(MakeEvent(EventKind::Gone, now, mac, device.fields));
        }
    }
    if (searches == 1) {
        for (const auto &known : seeded)
            first.missing += heard.count(known.first) == 0;
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event &a, const Event &b) { return a.mac < b.mac; });
    return events;
}

Comparison Compare(const std::vector<QJsonObject> &saved, const std::vector<QJsonObject> &now) {
    Comparison result;
    const auto before = ByMac(saved);
    const auto after = ByMac(now);
    for (const auto &[mac, fields] : after) {
        const auto it = before.find(mac);
        if (it == before.end()) {
            result.added.push_back(*fields);
            continue;
        }
        auto changes = Differences(*it->second, *fields);
        if (!changes.empty())
            result.changed.push_back(MakeEvent(EventKind::Changed, QDateTime::currentDateTimeUtc(),
                                               mac, *fields, std::move(changes)));
    }
    for (const auto &[mac, fields] : before) {
        if (after.count(mac) == 0)
            result.missing.push_back(*fields);
    }
    return result;
}

bool ReadDeviceList(const QString &path, std::vector<QJsonObject> *devices, QString *error) {
    QJsonDocument document;
    QString why;
    switch (ReadJson(path, &document, &why)) {
    case Parsed::Missing:
        *error = path + ": no such file";
        return false;
    case Parsed::Failed:
        *error = why;
        return false;
    case Parsed::Ok:
        break;
    }
    if (!document.isArray()) {
        *error = path + ": not a device list saved by \"search --format json\"";
        return false;
    }
    devices->clear();
    for (const auto &item : document.array()) {
        if (!item.isObject() || Mac(item.toObject()).isEmpty()) {
            *error = path + ": a device without a MAC address; not a device list";
            devices->clear();
            return false;
        }
        devices->push_back(item.toObject());
    }
    return true;
}

} // namespace kelvo::watch
