// Devices over time: what each search found, compared with the searches
// before it and with what earlier runs knew. The window's automatic refresh,
// kelvo-cli's "watch" and "search --compare" share it, so that a device is
// "new", "changed" or "gone" by one rule wherever it is shown.
//
// A device is known by its MAC address. Its fields are those of
// "search --format json"; only the ones in ComparedFields() make it changed.
//
// Threading: plain values; one thread at a time per object.
#ifndef KELVO_WATCH_WATCH_H
#define KELVO_WATCH_WATCH_H

#include "qvudps.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace kelvo::watch {

// A device as "search --format json" writes it.
QJsonObject FieldsOf(const qvudps_module &m);

// The fields whose difference makes a device changed, in display order
// (name, ip, mask, gateway, DHCP, type, firmware, ports and so on). Each is a
// top-level name of the record except "dhcp", which stands for
// flags.dhcp_enabled. The raw fields (token, codes) change with every search
// and are never compared.
const QStringList &ComparedFields();

// One compared field that differs, as text: strings as they are, numbers in
// decimal, flags "true" or "false".
struct Change {
    QString field;
    QString before;
    QString after;
};
// The compared fields in which two records of one device differ.
std::vector<Change> Differences(const QJsonObject &before, const QJsonObject &after);
// "ip 10.0.0.5 → 10.0.0.6" lines, one a change, for a tooltip or a log.
QString ChangesText(const std::vector<Change> &changes);

enum class EventKind { Appeared, Changed, Gone, Back };
// "appeared", "changed", "gone", "back": the wire words of "watch".
QString EventName(EventKind kind);

struct Event {
    QDateTime time; // UTC
    EventKind kind = EventKind::Appeared;
    QString mac;
    QJsonObject fields;          // the device as last seen
    std::vector<Change> changes; // for Changed
};
// One line of "watch --format json": time (ISO 8601, UTC), event, mac, the
// device's fields and, for a change, "changes": {field: [old, new]}.
QJsonObject EventJson(const Event &event);

// How a device stands in this run.
enum class State {
    Normal,  // answering, as known before
    New,     // first seen in this run and not known from earlier runs
    Changed, // answering with other compared fields than before
    Offline, // not seen in the last kMissesToOffline searches
};

struct Device {
    QJsonObject fields; // as last seen
    QDateTime firstSeen;
    QDateTime lastSeen;
    State state = State::Normal;
    std::vector<Change> changes; // what made it Changed
    int misses = 0;              // searches in a row without it
};

// Searches without a device before it counts as offline ("gone").
inline constexpr int kMissesToOffline = 3;

// Known devices across runs: one JSON file in the user's data folder, shared
// by the window and the command line.
class Inventory {
public:
    // <user data folder>/inventory.json: the window's data folder, whichever
    // program asks. Borrows the window's application names for a moment:
    // main thread only.
    static QString DefaultPath();
    // A missing file is an empty inventory; a damaged one is an error and
    // leaves the inventory empty.
    bool Load(const QString &path, QString *error);
    // Written whole or not at all, owner-only, never through a link. The
    // devices another program saved there meanwhile are kept (the later
    // sighting wins); a file there that is no inventory is never replaced.
    // The data folder is made owner-only; another folder is created
    // owner-only when missing and otherwise left as it is.
    bool Save(const QString &path, QString *error) const;
    // Takes one search's devices: first and last seen, last known fields.
    void Record(const std::vector<QJsonObject> &found, const QDateTime &now);
    const std::map<QString, Device> &Devices() const { return devices; }

private:
    std::map<QString, Device> devices;
};

// What a search found against what a run knew before it started.
struct Summary {
    int added = 0;   // not known from earlier runs
    int changed = 0; // known, answering with other fields
    int missing = 0; // known, not answering
};

// The successive searches of one run: the events each search causes and
// each device's state.
class Tracker {
public:
    // Devices known from earlier runs: not new when they answer, changed
    // when they answer differently, and counted as missing, not as gone,
    // when they never answer in this run.
    void Seed(const Inventory &known);
    // Takes one search's devices; returns the events it caused, MAC order.
    // A device back after "gone" with other compared fields causes "back"
    // and then "changed": both are real changes. A device answering twice in
    // one search counts once, as first heard.
    std::vector<Event> Search(const std::vector<QJsonObject> &found, const QDateTime &now);
    // The first search against the seed: "3 new, 1 changed, 2 not seen
    // since last time".
    Summary FirstSearch() const { return first; }
    // The devices that answered in this run, offline ones included; a
    // changed device keeps its last changes until it changes again.
    const std::map<QString, Device> &Devices() const { return devices; }

private:
    std::map<QString, Device> devices;
    std::map<QString, Device> seeded;
    Summary first;
    int searches = 0;
};

// A saved device list ("search --format json") against a search.
struct Comparison {
    std::vector<QJsonObject> added;   // in the search only
    std::vector<Event> changed;       // in both, with other compared fields
    std::vector<QJsonObject> missing; // in the saved list only
    bool Empty() const { return added.empty() && changed.empty() && missing.empty(); }
};
Comparison Compare(const std::vector<QJsonObject> &saved, const std::vector<QJsonObject> &now);

// Reads a file written by "search --format json" (bounded size, regular
// files only).
bool ReadDeviceList(const QString &path, std::vector<QJsonObject> *devices, QString *error);

} // namespace kelvo::watch

#endif
