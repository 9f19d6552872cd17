// The session proper: fields, state machine, requests and the library
// callbacks with their plain default behaviour.
#include "session_internal.h"

#include "qvfile.h"
#include "qvtext.h"

#include <algorithm>
#include <cstring>

namespace mvxapi {

using detail::LayerLock;
using detail::SessionLink;

TSdkError::TSdkError(const qvxml_error_record &record)
    : code(record.code), sys_errno(record.sys_errno), text(qv::field_text(record.text)),
      sys_text(qv::field_text(record.sys_text)) {}

void TSdkErrorEventArgs::SetError(const TSdkError &error) {
    code = error.code;
    sys_errno = error.sys_errno;
    text = error.text;
    sys_text = error.sys_text;
}

namespace detail {

void MakeErrorRecord(qvxml_error_record &record, int code, const char *text) {
    record = qvxml_error_record{};
    record.code = code;
    if (text) {
        strncpy(record.text, text, sizeof record.text - 1);
    } else {
        char message[QVXML_ERROR_I2S_MAX] = {};
        qv_error_i2s(code, message);
        strncpy(record.text, message, sizeof record.text - 1);
    }
}

} // namespace detail

namespace {

// Library callbacks of the session's own handle. They run on its worker and
// reach the session only while it is alive (see SessionLink).
void CbValuesDone(int, void *user, int, qvxml_values *values, qvxml_values_counts *counts) {
    detail::CallbackScope scope(static_cast<SessionLink *>(user));
    if (auto *session = scope.Session())
        session->DoValues(values, counts);
}

void CbSetupDone(int, void *user, int, qvxml_setup *setup, qvxml_setup_counts *counts) {
    detail::CallbackScope scope(static_cast<SessionLink *>(user));
    if (auto *session = scope.Session())
        session->DoSetup(setup, counts);
}

void CbUploadDone(int, void *user, int, qvxml_setup *setup, qvxml_setup_counts *counts) {
    detail::CallbackScope scope(static_cast<SessionLink *>(user));
    if (auto *session = scope.Session())
        session->DoSetupSent(setup, counts);
}

void CbConnected(int, void *user, int) {
    detail::CallbackScope scope(static_cast<SessionLink *>(user));
    if (auto *session = scope.Session())
        session->DoConnected();
}

int CbCustomParse(int, void *user, const char *text, int length, int kind) {
    detail::CallbackScope scope(static_cast<SessionLink *>(user));
    auto *session = scope.Session();
    return session ? session->DoCustomParse(text, length, kind) : -1;
}

void CbAfterParse(int, void *user, const char *text, int length, int kind, void *structure,
                  void *counts, int *parser_result) {
    detail::CallbackScope scope(static_cast<SessionLink *>(user));
    if (auto *session = scope.Session())
        session->DoPostParse(text, length, kind, structure, counts, parser_result);
}

void CopyCredential(char (&field)[QVXML_AUTHENTICATE_MAX], const std::string &text) {
    // Texts longer than the library takes are cut to 99 characters.
    const size_t n = std::min(text.size(), sizeof field - 1);
    memcpy(field, text.data(), n);
    field[n] = '\0';
}

// Starts a request of the library as operation `op`. The state changes
// before the request: the worker may complete it, and set the state back to
// ready, before the call has returned. A request that does not start leaves
// the session ready, so it stays usable.
template <class State, class Request> int Start(State &state, int32_t op, Request request) {
    state = op;
    if (request() == -1) {
        state = xsReady;
        return -1;
    }
    return 0;
}

} // namespace

TIoXmlCustom::TIoXmlCustom(void *ownerObject) : TSdkObject(ownerObject), link(new SessionLink) {
    link->session = this;
    LayerLock guard;
    if (detail::SessionCountRef()++ == 0)
        qvxml_init();
}

TIoXmlCustom::~TIoXmlCustom() {
    Detach();
    if (TIoXmlCustom::Close() != 0 && handle != -1) {
        AbandonTrial();
        if (qvxml_close(handle) == 0)
            link->Release();
        handle = -1;
    }
    link->Release();
    LayerLock guard;
    if (--detail::SessionCountRef() == 0) {
        qvxml_uninit();
        // A plain session may be the last one to go after a TIoXml.
        detail::DestroyMessageWindow();
    }
}

void TIoXmlCustom::Detach() {
    link->Detach();
}

void TIoXmlCustom::AbandonTrial() {
    int trial;
    {
        // A trial callback that already took its handle finishes first: it
        // still reads the pending change and may send it.
        std::unique_lock guard(link->lock);
        trial = link->trialHandle;
        link->trialHandle = -1;
        link->changed.wait(guard, [this] { return !link->trialRunning; });
    }
    if (trial != -1 && qvxml_close(trial) == 0)
        link->Release();
}

qvxml_error_record TIoXmlCustom::GetLastError() const {
    std::lock_guard guard(link->lock); // written by the trial connection's worker
    return lastError;
}

void TIoXmlCustom::SetLastError(int from_handle) {
    qvxml_error_record record{};
    qvxml_error(from_handle, &record);
    std::lock_guard guard(link->lock);
    lastError = record;
}

void TIoXmlCustom::SetOwnError(const qvxml_error_record &record) {
    ownError = record;
    hasOwnError = true;
}

void TIoXmlCustom::SetOwnError(int code) {
    detail::MakeErrorRecord(ownError, code);
    hasOwnError = true;
}

TSdkError TIoXmlCustom::RequestError(int op) const {
    if (hasOwnError)
        return TSdkError(ownError);
    qvxml_error_record record{};
    const int h = handle;
    qvxml_error(op == xsClosed || h == -1 ? 0 : h, &record);
    return TSdkError(record);
}

void TIoXmlCustom::GetSdkError(TSdkError &error_out, bool global) const {
    if (!global && hasOwnError) {
        error_out = TSdkError(ownError);
        return;
    }
    qvxml_error_record record{};
    if (global || handle != -1)
        qvxml_error(global ? 0 : handle.load(), &record);
    error_out = TSdkError(record);
}

void TIoXmlCustom::DoConnected() {}

void TIoXmlCustom::DoValues(qvxml_values *, qvxml_values_counts *) {
    state = xsReady;
}

void TIoXmlCustom::DoSetup(qvxml_setup *, qvxml_setup_counts *) {
    state = xsReady;
}

void TIoXmlCustom::DoSetupSent(qvxml_setup *, qvxml_setup_counts *) {
    state = xsReady;
}

int TIoXmlCustom::DoCustomParse(const char *, int, int) {
    return -1;
}

void TIoXmlCustom::DoPostParse(const char *, int, int, void *, void *, int *) {}

int TIoXmlCustom::Open() {
    ClearOwnError();
    if (state != xsClosed)
        return -2;
    qvxml_options options;
    qvxml_clr_settings_struct(&options);
    options.check_at_start = 0;
    CopyCredential(options.get_user, user);
    CopyCredential(options.set_user, user);
    CopyCredential(options.get_password, password);
    CopyCredential(options.set_password, password);
    options.callbacks.values_done = CbValuesDone;
    options.callbacks.setup_done = CbSetupDone;
    options.callbacks.upload_done = CbUploadDone;
    options.callbacks.connected = CbConnected;
    if (customParse)
        options.callbacks.custom_parser = CbCustomParse;
    if (postParse)
        options.callbacks.after_parse = CbAfterParse;

    link->Acquire(); // held by the handle until it is closed
    handle = qvxml_open(host.c_str(), port, &options, link);
    if (handle == -1) {
        link->Release();
        return -1;
    }
    if (qvxml_wait_finish(handle, 0, 2) != 0) {
        if (qvxml_close(handle) == 0)
            link->Release();
        handle = -1;
        return -3;
    }
    state = xsReady;
    return handle >= 1 ? 0 : -1;
}

int TIoXmlCustom::Close() {
    ClearOwnError();
    if (state == xsClosed)
        return -2;
    AbandonTrial();
    if (handle == -1)
        return 0;
    const int rc = qvxml_close(handle);
    if (rc != -1) {
        handle = -1;
        state = xsClosed;
        link->Release();
    }
    return rc;
}

int TIoXmlCustom::GetValues() {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    return Start(state, xsValues, [this] { return qvxml_get_values(handle); });
}

int TIoXmlCustom::GetSetup() {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    return Start(state, xsSetup, [this] { return qvxml_get_setup(handle); });
}

int TIoXmlCustom::SendSetupXml(const char *text) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    return SendDocument(xsSendSetup, text, static_cast<int>(strlen(text)));
}

int TIoXmlCustom::SendDocument(int32_t op, const char *document, int length) {
    return Start(state, op, [&] { return qvxml_send_setup_xml(handle, document, length); });
}

int TIoXmlCustom::LoadValues(const char *text) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    return Start(state, xsValues,
                 [&] { return qvxml_load_values(handle, text, static_cast<int>(strlen(text))); });
}

int TIoXmlCustom::GetSetupToFile(const char *path) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    char *text = nullptr;
    int length = 0;
    if (qvxml_get_setup_xml(handle, &text, &length) != 0)
        return -1;
    // Written beside the target and renamed over it only when complete, so a
    // full disk never costs the previous file, and never through a link;
    // readable by the owner only, since a configuration holds the device's
    // passwords.
    if (!path) {
        SetOwnError(6); // "File open failure"
        return -1;
    }
    const qv::write_result r = qv::write_file(path, text, static_cast<size_t>(std::max(length, 0)),
                                              qv::write_mode::replace, 0600);
    if (!r.ok()) {
        // The window shows this text: it says why, not only which step.
        qvxml_error_record record{};
        detail::MakeErrorRecord(record, r.step == qv::write_step::create ? 6 : 7,
                                qv::write_error_text(path, r).c_str());
        record.sys_errno = r.error;
        SetOwnError(record);
        return -1;
    }
    return 0;
}

} // namespace mvxapi
