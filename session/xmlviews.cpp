#include "xmlviews.h"

#include "qvtext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace mvxapi {

namespace {

template <size_t N> long Number(const char (&field)[N]) {
    char text[N + 1] = {}; // the field may lack its NUL
    std::memcpy(text, field, N);
    return strtol(text, nullptr, 10);
}

// Devices write a decimal point whatever the reader's locale.
template <size_t N> bool Real(const char (&field)[N], double &out) {
    const std::string_view s = qv::field_text(field);
    const char *p = s.data();
    const char *end = p + s.size();
    while (p != end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (p != end && *p == '+')
        ++p;
    out = 0;
    return std::from_chars(p, end, out).ptr != p;
}

// The fields every kind of entry has alike; false when the value is no
// number.
template <size_t I, size_t N, size_t V>
bool ReadCommon(TXmlEntry &entry, const char (&id)[I], const char (&name)[N],
                const char (&value)[V]) {
    entry = TXmlEntry{};
    entry.id = Number(id);
    entry.name = qv::field_text(name);
    entry.valueText = qv::field_text(value);
    return Real(value, entry.value);
}

int StateFromText(long code) {
    return code >= esNormal && code <= esDeviceInvalid ? static_cast<int>(code) : esUnknown;
}

int Bounded(int count, int capacity) {
    return std::clamp(count, 0, capacity);
}

// The fields of a sensor and of a binary input that values and setup
// documents share; the same return as ReadCommon.
template <class D> bool ReadSensor(TXmlEntry &entry, const D &d, int n) {
    const bool hasValue =
        ReadCommon(entry, d.SenSet_Entry_ID[n], d.SenSet_Entry_Name[n], d.SenSet_Entry_Value[n]);
    entry.unit = UnitCode(std::string(qv::field_text(d.SenSet_Entry_Units[n])).c_str(), "");
    return hasValue;
}

template <class D> void ReadBinaryIn(TXmlEntry &entry, const D &d, int n) {
    ReadCommon(entry, d.BinaryInSet_Entry_ID[n], d.BinaryInSet_Entry_Name[n],
               d.BinaryInSet_Entry_Value[n]);
}

// Position in the document's sensor list of the sensor numbered `id`, -1
// when there is none.
template <class D, class C> int SensorPosition(const D *document, const C *counts, long id) {
    if (!document || !counts)
        return -1;
    const int n = Bounded(counts->SenSet, QVXML_LIST_MAX_SenSet);
    for (int i = 0; i < n; ++i) {
        if (Number(document->SenSet_Entry_ID[i]) == id)
            return i;
    }
    return -1;
}

} // namespace

bool IsNewFirmware(const char *version, int kind) {
    const std::string v = version ? version : "";
    switch (kind) {
    case 0:
        return v == "2.34" || v == "2.35" || v == "2.36";
    case 1:
        return v == "2.0";
    case 3:
    case 4:
    case 5:
        return true;
    default:
        return false; // 2, 6 and above, and negative kinds
    }
}

int UnitCode(const char *unit, const char *type) {
    static const struct {
        const char *text;
        int code;
    } table[] = {
        {"C", 0},   {"%RH", 3}, {"V", 4},   {"mA", 5},   {"s", 6},    {"DP C", 9},  {"WLD", 11},
        {"A", 12},  {"W", 13},  {"kW", 16}, {"kWh", 14}, {"MWh", 17}, {"Wh", 15},   {"J", 18},
        {"kJ", 19}, {"MJ", 20}, {"GJ", 21}, {"kPa", 10}, {"m3", 22},  {"m3/h", 23}, {"LUX", 24},
    };
    if (unit) {
        for (const auto &row : table) {
            if (strcasecmp(unit, row.text) == 0)
                return row.code;
        }
    }
    return type && strcmp(type, "43") == 0 ? 11 : 8;
}

int SensorIndex(const qvxml_values *values, const qvxml_values_counts *counts, long id) {
    const int position = SensorPosition(values, counts, id);
    return position < 0 ? -1 : position + 1;
}

bool SetupHasSensorId(const qvxml_setup *setup, const qvxml_setup_counts *counts, long id) {
    return SensorPosition(setup, counts, id) >= 0;
}

const char *EntryKindText(int kind) {
    static const char *const texts[] = {
        "Analog sensor input", "Binary input",         "Binary input with counter",
        "Binary output",       "Analog sensor output", "Realy output",
        "RTS output",          "DTR output",           "Counter"};
    return kind >= 0 && kind < static_cast<int>(std::size(texts)) ? texts[kind] : "-";
}

const char *StateText(int state) {
    static const char *const texts[] = {"Normal", "Out of range", "Alarm active", "Sensor invalid",
                                        "Device invalid"};
    return state >= 0 && state < static_cast<int>(std::size(texts)) ? texts[state] : "-";
}

template <class TBuffer> int TValuesXml<TBuffer>::BinaryInCount() const {
    return documentCounts ? Bounded(documentCounts->BinaryInSet, QVXML_LIST_MAX_BinaryInSet) : 0;
}

template <class TBuffer> int TValuesXml<TBuffer>::BinaryOutCount() const {
    return documentCounts ? Bounded(documentCounts->BinaryOutSet, QVXML_LIST_MAX_BinaryOutSet) : 0;
}

template <class TBuffer> int TValuesXml<TBuffer>::SensorCount() const {
    return documentCounts ? Bounded(documentCounts->SenSet, QVXML_LIST_MAX_SenSet) : 0;
}

// Firmware before the new encoding reports no sensor state: it is derived
// from the reading and the alarm limits. Newer firmware sends it in State.
template <class TBuffer> bool TValuesXml<TBuffer>::GetSensorEntry(int n, TXmlEntry &entry) const {
    const auto *doc = EntryOf(n, SensorCount());
    if (!doc)
        return false;
    const auto &d = *doc;
    const bool hasValue = ReadSensor(entry, d, n);
    if (IsNewFirmware(d.Agent_Version, ekSensor)) {
        entry.state = StateFromText(Number(d.SenSet_Entry_State[n]));
    } else if (!hasValue) {
        entry.state = esSensorInvalid;
    } else {
        double min = 0, max = 0;
        const bool limits = Real(d.SenSet_Entry_Min[n], min) && Real(d.SenSet_Entry_Max[n], max);
        entry.state = limits && (entry.value < min || entry.value > max) ? esOutOfRange : esNormal;
    }
    return true;
}

// Older binary-input firmware flags an active alarm only in AlarmState.
template <class TBuffer> bool TValuesXml<TBuffer>::GetBinaryInEntry(int n, TXmlEntry &entry) const {
    const auto *doc = EntryOf(n, BinaryInCount());
    if (!doc)
        return false;
    const auto &d = *doc;
    ReadBinaryIn(entry, d, n);
    if (IsNewFirmware(d.Agent_Version, ekBinaryIn))
        entry.state = StateFromText(Number(d.BinaryInSet_Entry_State[n]));
    else
        entry.state = Number(d.BinaryInSet_Entry_AlarmState[n]) == 1 ? esAlarm : esNormal;
    entry.mode = static_cast<int>(Number(d.BinaryInSet_Entry_Alarm[n]));
    return true;
}

template <class TBuffer>
bool TValuesXml<TBuffer>::GetBinaryOutEntry(int n, TXmlEntry &entry) const {
    const auto *doc = EntryOf(n, BinaryOutCount());
    if (!doc)
        return false;
    const auto &d = *doc;
    ReadCommon(entry, d.BinaryOutSet_Entry_ID[n], d.BinaryOutSet_Entry_Name[n],
               d.BinaryOutSet_Entry_Value[n]);
    entry.state = esNormal;
    entry.mode = static_cast<int>(Number(d.BinaryOutSet_Entry_Mode[n]));
    return true;
}

// A setup document always carries State; the mode of a sensor is its alarm
// enable flag E, that of a binary input its AlarmState setting.
template <class TBuffer> bool TSetupXml<TBuffer>::GetSensorEntry(int n, TXmlEntry &entry) const {
    const auto *doc = this->EntryOf(n, this->SensorCount());
    if (!doc)
        return false;
    const auto &d = *doc;
    ReadSensor(entry, d, n);
    entry.state = StateFromText(Number(d.SenSet_Entry_State[n]));
    entry.mode = static_cast<int>(Number(d.SenSet_Entry_E[n]));
    return true;
}

template <class TBuffer> bool TSetupXml<TBuffer>::GetBinaryInEntry(int n, TXmlEntry &entry) const {
    const auto *doc = this->EntryOf(n, this->BinaryInCount());
    if (!doc)
        return false;
    const auto &d = *doc;
    ReadBinaryIn(entry, d, n);
    entry.state = StateFromText(Number(d.BinaryInSet_Entry_State[n]));
    entry.mode = static_cast<int>(Number(d.BinaryInSet_Entry_AlarmState[n]));
    return true;
}

template class TValuesXml<TValuesXmlBuffer>;
template class TValuesXml<TSetupXmlBuffer>;
template class TSetupXml<TSetupXmlBuffer>;

} // namespace mvxapi
