/*
 * Read-only views over parsed values and setup documents, and the
 * conversions they use. A view keeps the pointers it was given (as returned
 * by qvxml_get_values_cache / qvxml_get_setup_cache) and copies nothing; it
 * is valid only as long as those are. Any thread, no locking.
 */
#ifndef MVXAPI_XMLVIEWS_H
#define MVXAPI_XMLVIEWS_H

#include <qvxml.h>

#include <cstdint>
#include <string>

namespace mvxapi {

// True when a device with firmware `version` encodes entries of `kind` the
// new way. Kinds are the entry types of TEntryKind; versions are compared as
// whole texts, case-sensitively.
bool IsNewFirmware(const char *version, int kind);

// Unit code of a sensor's unit text (compared without regard to case); an
// unknown text gives 8, or 11 when `type` is exactly "43".
int UnitCode(const char *unit, const char *type);

// 1-based position of the sensor with `id` among the sensor entries of a
// values document, -1 when absent (or no document).
int SensorIndex(const qvxml_values *values, const qvxml_values_counts *counts, long id);
// True when a setup document lists a sensor with `id`.
bool SetupHasSensorId(const qvxml_setup *setup, const qvxml_setup_counts *counts, long id);

// Entry types; the value is the `kind` of IsNewFirmware.
enum TEntryKind : int {
    ekSensor = 0,          // "Analog sensor input"
    ekBinaryIn = 1,        // "Binary input"
    ekBinaryInCounter = 2, // "Binary input with counter"
    ekBinaryOut = 3,       // "Binary output"
    ekSensorOut = 4,       // "Analog sensor output"
    ekRelayOut = 5,        // "Realy output"
};

// Entry states, the display texts are StateText().
enum TEntryState : int {
    esNormal = 0,
    esOutOfRange = 1,
    esAlarm = 2,
    esSensorInvalid = 3,
    esDeviceInvalid = 4,
    esUnknown = 5,
};

// One entry of a document as the views decode it.
struct TXmlEntry {
    long id = 0;
    std::string name;
    std::string valueText; // as the device wrote it
    double value = 0;      // valueText read as a number
    int state = esUnknown; // TEntryState
    int unit = 8;          // UnitCode of the entry's unit (sensors), else 8
    int mode = 0;          // alarm mode (inputs), output mode (outputs)
};

const char *EntryKindText(int kind);
const char *StateText(int state);

// Buffer kinds of the views.
struct TValuesXmlBuffer {
    using Document = qvxml_values;
    using Counts = qvxml_values_counts;
};
struct TSetupXmlBuffer {
    using Document = qvxml_setup;
    using Counts = qvxml_setup_counts;
};

// Accessors shared by values and setup documents. Entry numbers n are
// 0-based; a number outside the document's entries gives false.
template <class TBuffer> class TValuesXml {
public:
    using Document = typename TBuffer::Document;
    using Counts = typename TBuffer::Counts;

    TValuesXml(const Document *document, const Counts *counts)
        : documentData(document), documentCounts(counts) {}
    TValuesXml(const TValuesXml &) = delete;
    TValuesXml &operator=(const TValuesXml &) = delete;

    virtual bool GetBinaryInEntry(int n, TXmlEntry &entry) const;
    virtual bool GetBinaryOutEntry(int n, TXmlEntry &entry) const;
    virtual ~TValuesXml() = default;
    virtual bool GetSensorEntry(int n, TXmlEntry &entry) const;

    // Entries of each list, bounded by the list's capacity.
    int BinaryInCount() const;
    int BinaryOutCount() const;
    int SensorCount() const;
    const char *Version() const { return documentData ? documentData->Agent_Version : ""; }

protected:
    // The document when it holds entry `n` of a list of `count`, else null.
    const Document *EntryOf(int n, int count) const {
        return documentData && n >= 0 && n < count ? documentData : nullptr;
    }

    const Document *documentData;
    const Counts *documentCounts;
};

// Setup-specific decoding of the same lists.
template <class TBuffer> class TSetupXml : public TValuesXml<TBuffer> {
public:
    using TValuesXml<TBuffer>::TValuesXml;

    bool GetBinaryInEntry(int n, TXmlEntry &entry) const override;
    bool GetSensorEntry(int n, TXmlEntry &entry) const override;
};

extern template class TValuesXml<TValuesXmlBuffer>;
extern template class TValuesXml<TSetupXmlBuffer>;
extern template class TSetupXml<TSetupXmlBuffer>;

} // namespace mvxapi

#endif
