// The event-raising session: requests raise their events in the caller's
// thread; worker-thread results travel to the GUI thread through the hidden
// receiver, tagged with the session's serial so that a result for a session
// that has gone meanwhile is dropped.
#include "session_internal.h"

#include <cstring>

namespace mvxapi {

using detail::IoXmlMessage;
using detail::LayerLock;

TIoXml::TIoXml(void *ownerObject) : TIoXmlCustom(ownerObject) {
    {
        LayerLock guard;
        detail::CreateMessageWindow();
    }
    serial = detail::RegisterSession(this);
}

TIoXml::~TIoXml() {
    // No callback reaches this session from here on, and nothing queued for
    // it will be dispatched.
    Detach();
    detail::UnregisterSession(serial);
    LayerLock guard;
    if (detail::SessionCountRef() == 1)
        detail::DestroyMessageWindow();
    // The event slots go in reverse order (9 down to 0) as members.
}

// ---- requests ----

void TIoXml::RaiseError(int op, const TSdkError &error) {
    TSdkErrorEventArgs args;
    args.sender = this;
    args.operation = static_cast<uint8_t>(op);
    args.SetError(error);
    OnError.Raise(&args);
}

int TIoXml::Finish(int rc, int op, const TEventSlot<TSdkSimpleEventArgs> &success) {
    if (rc == 0) {
        TSdkSimpleEventArgs args;
        args.sender = this;
        success.Raise(&args);
        return 0;
    }
    if (rc == -1 && OnError)
        RaiseError(op, RequestError(op));
    return rc;
}

int TIoXml::Open() {
    return Finish(TIoXmlCustom::Open(), xsClosed, OnOpen);
}

int TIoXml::Close() {
    return Finish(TIoXmlCustom::Close(), xsReady, OnClose);
}

int TIoXml::GetValues() {
    return Finish(TIoXmlCustom::GetValues(), xsValues, OnRequest);
}

int TIoXml::GetSetup() {
    return Finish(TIoXmlCustom::GetSetup(), xsSetup, OnRequest);
}

int TIoXml::SendSetupXml(const char *text) {
    return Finish(TIoXmlCustom::SendSetupXml(text), xsSendSetup, OnRequest);
}

int TIoXml::LoadValues(const char *text) {
    return Finish(TIoXmlCustom::LoadValues(text), xsValues, OnRequest);
}

int TIoXml::SetBinaryOutput(uint32_t id, uint32_t value) {
    return Finish(TIoXmlCustom::SetBinaryOutput(id, value), xsBinaryOut, OnRequest);
}

int TIoXml::SetSensorLimits(uint32_t id, double min, double max) {
    return Finish(TIoXmlCustom::SetSensorLimits(id, min, max), xsSensorLimits, OnRequest);
}

int TIoXml::SetEntryName(uint32_t id, const char *name) {
    return Finish(TIoXmlCustom::SetEntryName(id, name), xsName, OnRequest);
}

int TIoXml::SetSensorCalib(uint32_t id, double calib) {
    return Finish(TIoXmlCustom::SetSensorCalib(id, calib), xsCalib, OnRequest);
}

// ---- library callbacks (worker thread) ----

void TIoXml::Post(int message, IoXmlMessage &&payload) {
    payload.message = message;
    detail::PostToWindow(serial, payload);
}

void TIoXml::PostError(int op, const qvxml_error_record &record) {
    IoXmlMessage m;
    m.operation = op;
    m.error = record;
    Post(IOXML_MSG_ERROR, std::move(m));
}

// The request has ended with the library's error for it.
void TIoXml::PostLibraryError(int op) {
    state = xsReady;
    qvxml_error_record record{};
    qvxml_error(handle, &record);
    PostError(op, record);
}

// The request has ended with `m`, told with the module it was asked of.
void TIoXml::PostReply(int message, IoXmlMessage &&m) {
    qvxml_get_module(handle, m.module_host, &m.module_port);
    m.module_host[sizeof m.module_host - 1] = '\0';
    state = xsReady;
    Post(message, std::move(m));
}

void TIoXml::DoConnected() {
    IoXmlMessage m;
    m.state = state;
    Post(IOXML_MSG_CONNECTED, std::move(m));
}

void TIoXml::DoValues(qvxml_values *, qvxml_values_counts *counts) {
    IoXmlMessage m;
    bool ok;
    if (!customParse) {
        qvxml_values *values = nullptr;
        qvxml_values_counts *cached = nullptr;
        ok = qvxml_get_values_cache(handle, &values, &cached) == 0;
        m.structure = values;
        m.counts = cached;
    } else {
        // No parse result exists in custom-parse mode; a non-null counts
        // argument is the library's sign of success.
        ok = counts != nullptr;
    }
    if (!ok) {
        PostLibraryError(xsValues);
        return;
    }
    PostReply(IOXML_MSG_VALUES, std::move(m));
}

void TIoXml::PostSetupReply(int message, int failed_op) {
    IoXmlMessage m;
    m.state = state; // captured before the reset
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    if (qvxml_get_setup_cache(handle, &setup, &counts) != 0) {
        PostLibraryError(failed_op);
        return;
    }
    m.structure = setup;
    m.counts = counts;
    PostReply(message, std::move(m));
}

void TIoXml::DoSetup(qvxml_setup *, qvxml_setup_counts *) {
    PostSetupReply(IOXML_MSG_SETUP, xsSetup);
}

void TIoXml::DoSetupSent(qvxml_setup *, qvxml_setup_counts *) {
    const int32_t captured = state;
    const int op = captured >= xsBinaryOut && captured <= xsCalib ? captured : xsSendSetup;
    PostSetupReply(IOXML_MSG_SETUP_SENT, op);
}

TIoXmlParseEventArgs TIoXml::ParseArgs(const char *text, int length, int kind) {
    TIoXmlParseEventArgs args;
    args.sender = this;
    args.text = text;
    args.length = length;
    args.kind = kind;
    return args;
}

int TIoXml::DoCustomParse(const char *text, int length, int kind) {
    if (!OnCustomParse)
        return -1;
    TIoXmlParseEventArgs args = ParseArgs(text, length, kind);
    args.result = -1;
    OnCustomParse.Raise(&args);
    return args.result;
}

void TIoXml::DoPostParse(const char *text, int length, int kind, void *structure, void *counts,
                         int *parser_result) {
    if (!OnPostParse)
        return;
    TIoXmlParseEventArgs args = ParseArgs(text, length, kind);
    args.structure = structure;
    args.counts = counts;
    args.parser_result = parser_result;
    args.result = parser_result ? *parser_result : 0;
    OnPostParse.Raise(&args);
}

int TIoXml::DoTrialValues(int trial_handle) {
    const int32_t op = state;
    const int rc = TIoXmlCustom::DoTrialValues(trial_handle);
    if (op < xsSensorLimits || op > xsCalib)
        return rc;
    // These failures are reported through the receiver like every other late
    // error, so OnError always runs on the GUI thread. The position look-up
    // reports as operation 6 whichever sensor setter asked for it: callers
    // tell it from a failed upload by that code.
    qvxml_error_record record{};
    switch (rc) {
    case -1:
        PostError(xsSensorLimits, GetLastError());
        break;
    case -2:
        detail::MakeErrorRecord(record, 16, "Invalid sensor ID"); // 16 "ID not found"
        PostError(xsSensorLimits, record);
        break;
    case -3:
        qvxml_error(handle, &record);
        PostError(op, record);
        break;
    default:
        break;
    }
    return rc;
}

// ---- receiver (GUI thread) ----

namespace {

// The sender and the device a document came from, alike in the values and
// the setup events.
template <class TArgs> void FromDevice(TArgs &args, TIoXml *session, const IoXmlMessage &m) {
    args.sender = session;
    memcpy(args.module_host, m.module_host, sizeof args.module_host);
    args.module_port = m.module_port;
}

} // namespace

void TIoXml::Dispatch(uint64_t serial, const IoXmlMessage &m) {
    TIoXml *session = detail::FindSession(serial);
    if (!session)
        return; // the session has gone; the payload goes with the event
    switch (m.message) {
    case IOXML_MSG_CONNECTED: {
        TIoXmlStateEventArgs args;
        args.sender = session;
        args.state = m.state;
        session->OnConnect.Raise(&args);
        break;
    }
    case IOXML_MSG_VALUES: {
        TIoXmlValuesEventArgs args;
        FromDevice(args, session, m);
        args.values = static_cast<qvxml_values *>(m.structure);
        args.values_counts = static_cast<qvxml_values_counts *>(m.counts);
        session->OnValues.Raise(&args);
        break;
    }
    case IOXML_MSG_SETUP:
    case IOXML_MSG_SETUP_SENT: {
        TIoXmlSetupEventArgs args;
        FromDevice(args, session, m);
        args.setup = static_cast<qvxml_setup *>(m.structure);
        args.setup_counts = static_cast<qvxml_setup_counts *>(m.counts);
        args.state = m.state;
        (m.message == IOXML_MSG_SETUP ? session->OnSetup : session->OnSetupSent).Raise(&args);
        break;
    }
    case IOXML_MSG_ERROR:
        session->RaiseError(m.operation & 0xff, TSdkError(m.error));
        break;
    default:
        break;
    }
}

} // namespace mvxapi
