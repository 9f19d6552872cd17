// Single-item setters: each uploads a one-Entry setup document. Firmware that
// addresses entries by position needs an Idx; for sensors the position comes
// from the device's values.xml, fetched over a second, short-lived handle.
#include "qvtext.h"
#include "session_internal.h"
#include "xmlviews.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

namespace mvxapi {

using detail::SessionLink;

namespace {

// Widest index text, used to check that a document will fit before the
// sensor's position is known.
constexpr const char *kWidestIndex = "<Idx>4294967295</Idx>";
constexpr size_t kIndexTextSize = 32;

std::string EscapeXml(const char *text) {
    return qv::xml_escape(text ? text : "");
}

// A device reads "-10.0" whatever the user's locale: one decimal, a point.
struct OneDecimal {
    explicit OneDecimal(double value) {
        const auto r =
            std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, 1);
        *(r.ec == std::errc() ? r.ptr : text) = '\0';
    }
    char text[330] = {}; // DBL_MAX has 309 digits
};

const char *BinarySection(uint32_t id) {
    if (id >= 1 && id <= 64)
        return "BinaryInSet";
    if (id >= 151 && id <= 214)
        return "BinaryOutSet";
    return nullptr;
}

// Runs on the trial handle's worker. The trial handle is closed by whoever
// takes it out of the link: this callback, or the session when it closes.
void CbTrialValues(int trial, void *user, int, qvxml_values *, qvxml_values_counts *) {
    auto *link = static_cast<SessionLink *>(user);
    {
        std::lock_guard guard(link->lock);
        if (link->trialHandle != trial)
            return;
        link->trialHandle = -1;
        link->trialRunning = true;
    }
    {
        detail::CallbackScope scope(link);
        if (auto *session = scope.Session())
            session->DoTrialValues(trial);
    }
    {
        std::lock_guard guard(link->lock);
        link->trialRunning = false;
        link->changed.notify_all();
    }
    link->Release();
    qvxml_close_for_callback(trial); // ends this thread
}

} // namespace

namespace detail {

int FormatSetterDocument(int32_t op, uint32_t id, uint32_t value, double min, double max,
                         double calib, const char *name, const char *index_text, char *out,
                         size_t capacity) {
    int n = -1;
    switch (op) {
    case xsBinaryOut:
        n = snprintf(out, capacity,
                     "<Root><BinaryOutSet><Entry>%s<ID>%u</ID><Value>%u</Value></Entry>"
                     "</BinaryOutSet></Root>",
                     index_text, id, value);
        break;
    case xsSensorLimits:
        n = snprintf(out, capacity,
                     "<Root><SenSet><Entry>%s<ID>%u</ID><Min>%s</Min><Max>%s</Max></Entry>"
                     "</SenSet></Root>",
                     index_text, id, OneDecimal(min).text, OneDecimal(max).text);
        break;
    case xsName: {
        const std::string escaped = EscapeXml(name);
        if (const char *section = BinarySection(id))
            n = snprintf(out, capacity,
                         "<Root><%s><Entry>%s<ID>%u</ID><Name>%s</Name></Entry></%s></Root>",
                         section, index_text, id, escaped.c_str(), section);
        else
            n = snprintf(out, capacity,
                         "<Root><SenSet><Entry>%s<ID>%u</ID><Name>%s</Name></Entry></SenSet>"
                         "</Root>",
                         index_text, id, escaped.c_str());
        break;
    }
    case xsCalib:
        n = snprintf(out, capacity,
                     "<Root><SenSet><Entry>%s<ID>%u</ID><Calib>%s</Calib></Entry></SenSet>"
                     "</Root>",
                     index_text, id, OneDecimal(calib).text);
        break;
    default:
        return -1;
    }
    return n < 0 || static_cast<size_t>(n) >= capacity ? -1 : n;
}

} // namespace detail

int TIoXmlCustom::FormatPending(int32_t op, uint32_t value, const char *index_text, char *out,
                                size_t capacity) const {
    return detail::FormatSetterDocument(op, pendingArgs.id, value, pendingArgs.min, pendingArgs.max,
                                        pendingArgs.calib, pendingName.c_str(), index_text, out,
                                        capacity);
}

void TIoXmlCustom::KeepPending(uint32_t id, double min, double max, double calib,
                               const char *name) {
    // A trial callback of an earlier, abandoned change may still be reading.
    std::lock_guard guard(link->lock);
    pendingArgs.id = id;
    pendingArgs.min = min;
    pendingArgs.max = max;
    pendingArgs.calib = calib;
    if (name)
        pendingName = name;
}

int TIoXmlCustom::SendPending(int32_t op, uint32_t value, const char *index_text) {
    char document[IOXML_SETTER_DOCUMENT_MAX];
    const int length = FormatPending(op, value, index_text, document, sizeof document);
    if (length < 0) {
        SetOwnError(81); // "Length > LENGTH_MAX"
        return -1;
    }
    return SendDocument(op, document, length);
}

int TIoXmlCustom::SetBinaryOutput(uint32_t id, uint32_t value) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    KeepPending(id, 0, 0, 0, nullptr);
    char index[kIndexTextSize] = "";
    if (indexed)
        snprintf(index, sizeof index, "<Idx>%u</Idx>", id - 150u);
    return SendPending(xsBinaryOut, value, index);
}

int TIoXmlCustom::SetSensorLimits(uint32_t id, double min, double max) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    KeepPending(id, min, max, 0, nullptr);
    return indexed ? StartTrial(xsSensorLimits) : SendPending(xsSensorLimits, 0, "");
}

int TIoXmlCustom::SetEntryName(uint32_t id, const char *name) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    KeepPending(id, 0, 0, 0, name ? name : "");
    if (!indexed)
        return SendPending(xsName, 0, "");
    if (BinarySection(id)) {
        char index[kIndexTextSize];
        snprintf(index, sizeof index, "<Idx>%u</Idx>", id <= 64 ? id : id - 150u);
        return SendPending(xsName, 0, index);
    }
    return StartTrial(xsName);
}

int TIoXmlCustom::SetSensorCalib(uint32_t id, double calib) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    KeepPending(id, 0, 0, calib, nullptr);
    return indexed ? StartTrial(xsCalib) : SendPending(xsCalib, 0, "");
}

int TIoXmlCustom::StartTrial(int32_t op) {
    // Refuse now what could not be sent once the position is known.
    char probe[IOXML_SETTER_DOCUMENT_MAX];
    if (FormatPending(op, 0, kWidestIndex, probe, sizeof probe) < 0) {
        SetOwnError(81);
        return -1;
    }
    state = op;
    qvxml_options options;
    qvxml_clr_settings_struct(&options);
    options.callbacks.values_done = CbTrialValues;
    link->Acquire(); // held by the trial handle until it is closed
    const int trial = qvxml_open(host.c_str(), port, &options, link);
    if (trial == -1) {
        link->Release();
        SetLastError(0);
        SetOwnError(GetLastError());
        state = xsReady;
        return -1;
    }
    {
        // Set before the request: the callback recognises its handle by it.
        std::lock_guard guard(link->lock);
        link->trialHandle = trial;
    }
    if (qvxml_wait_finish(trial, 0, 2) != 0) {
        SetLastError(0); // the time-out is recorded library-wide
    } else if (qvxml_get_values(trial) != 0) {
        SetLastError(trial);
    } else {
        return 0;
    }
    AbandonTrial();
    state = xsReady;
    return -2;
}

int TIoXmlCustom::DoTrialValues(int trial_handle) {
    const int32_t op = state;
    if (op != xsSensorLimits && op != xsName && op != xsCalib)
        return 0; // the session moved on (closed or reopened) meanwhile
    qvxml_values *values = nullptr;
    qvxml_values_counts *counts = nullptr;
    if (qvxml_get_values_cache(trial_handle, &values, &counts) == -1) {
        SetLastError(trial_handle);
        state = xsReady;
        return -1;
    }
    const int position = SensorIndex(values, counts, pendingArgs.id);
    if (position < 0) {
        state = xsReady;
        return -2;
    }
    char index[kIndexTextSize];
    snprintf(index, sizeof index, "<Idx>%u</Idx>", static_cast<unsigned>(position));
    return SendPending(op, 0, index) == 0 ? 0 : -3;
}

} // namespace mvxapi
