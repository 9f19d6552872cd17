/*
 * Device session: one device (host, HTTP port) through one XML library handle,
 * one request at a time.
 *
 * Threads: construct, destroy and call a session on the GUI thread (the thread
 * that runs the Qt event loop). The library's worker thread of the handle runs
 * the Do* operations. TIoXml raises OnOpen, OnClose, OnRequest and immediate
 * OnError in the caller's thread; OnConnect, OnValues, OnSetup, OnSetupSent
 * and every later OnError are posted to a hidden receiver and raised on the
 * GUI thread in posting order; OnCustomParse and OnPostParse run on the worker
 * thread and must not touch the GUI nor destroy the session.
 *
 * Results of the request operations: 0 started (or done), -1 the library
 * refused (GetSdkError tells why), -2 the session is not in the state the
 * operation needs, -3 Open could not bring the handle up within 2 s; the file
 * transfers add -5 file cannot be opened, -6 no memory, -7 file cannot be read
 * or empty, -8 not a setup document.
 *
 * A session that is destroyed while a request runs closes its handle first;
 * results that arrive later are dropped and their payloads freed.
 */
#ifndef MVXAPI_IOXML_H
#define MVXAPI_IOXML_H

#include "sdkevents.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mvxapi {

namespace detail {
struct SessionLink;
struct IoXmlMessage;
} // namespace detail

// Message numbers of the hidden receiver.
constexpr int IOXML_MSG_CONNECTED = 1024;
constexpr int IOXML_MSG_VALUES = 1025;
constexpr int IOXML_MSG_SETUP = 1026;
constexpr int IOXML_MSG_SETUP_SENT = 1027;
constexpr int IOXML_MSG_ERROR = 1028;

// Largest setter document; a setter whose document would not fit is refused
// with -1 and error 81 "Length > LENGTH_MAX".
constexpr int IOXML_SETTER_DOCUMENT_MAX = 512;

// Session with plain default behaviour: the callbacks only reset the state.
class TIoXmlCustom : public TSdkObject {
public:
    explicit TIoXmlCustom(void *owner);

    // Library callbacks (worker thread of the handle).
    virtual void DoConnected();
    virtual void DoValues(qvxml_values *values, qvxml_values_counts *counts);
    virtual void DoSetup(qvxml_setup *setup, qvxml_setup_counts *counts);
    virtual void DoSetupSent(qvxml_setup *setup, qvxml_setup_counts *counts);
    virtual int DoCustomParse(const char *text, int length, int kind);
    virtual void DoPostParse(const char *text, int length, int kind, void *structure, void *counts,
                             int *parser_result);
    // Values of the trial connection of indexed mode (worker thread of the
    // trial handle). 0 the pending change was sent, -1 the trial handle's
    // values could not be read (lastError), -2 sensor not found, -3 the
    // session's library refused the upload. The state is 1 after every
    // result but 0.
    virtual int DoTrialValues(int trial_handle);
    ~TIoXmlCustom() override;

    // Requests (GUI thread).
    virtual int Open();
    virtual int Close();
    virtual int GetValues();
    virtual int GetSetup();
    virtual int SendSetupXml(const char *text);
    virtual int LoadValues(const char *text);
    // Single-item setters: one Entry uploaded; completion as for an upload
    // with the setter's operation code 5..8.
    virtual int SetBinaryOutput(uint32_t id, uint32_t value);
    virtual int SetSensorLimits(uint32_t id, double min, double max);
    virtual int SetEntryName(uint32_t id, const char *name);
    virtual int SetSensorCalib(uint32_t id, double calib);

    int32_t GetState() const { return state.load(); }
    int32_t GetHandle() const { return handle.load(); }
    // Error of the current handle (or slot 0 when `global`); after a refusal
    // made by the session itself (setter document too long, trial handle
    // not opened) that error until the next request.
    void GetSdkError(TSdkError &error_out, bool global) const;
    // Error record of the last failed trial connection of indexed mode.
    qvxml_error_record GetLastError() const;

    // Writes the setup document fetched by the last GetSetup to `path`, as the
    // device sent it. Needs state 1 (else -2); the state does not change.
    int GetSetupToFile(const char *path);
    // Uploads the file at `path`; with `filter` the sensor entries whose ID
    // the device's setup does not list are removed first. 0: state 4 and the
    // completion follows as for SendSetupXml.
    int SendSetupFile(const char *path, bool filter);
    // Removes the SenSet entries with unknown IDs from the NUL-terminated
    // `text` in place; `length` becomes the document's length up to and
    // including the closing root tag (NUL-terminated there). 0, -1 (no setup
    // document of the device), -8 (not a setup document).
    int FilterSenSet(char *text, long &length);
    // One search step of the filter, from `cursor`: 0 an entry with `id` at
    // `cursor` ending before `entry_end`; -1 no more entries; -8 malformed.
    static int FindSenSetEntry(char *&root_end, char *&cursor, char *&entry_end, long &id);
    // True when the device's cached setup has a sensor entry with `id`.
    bool HasSensorId(long id) const;

    // Public fields, set before Open.
    std::string host = "192.168.1.99";
    int32_t port = 80;
    std::string user;        // cut to 99 characters for the library
    std::string password;    // cut to 99 characters for the library
    int32_t indexed = 0;     // firmware addresses entries by index
    int32_t customParse = 0; // register the custom-parser callback
    int32_t postParse = 0;   // register the after-parse callback

protected:
    // Sets a session-made error reported by GetSdkError and the error events.
    void SetOwnError(const qvxml_error_record &record);
    void SetOwnError(int code);
    // Copies the error record of `from_handle` into lastError.
    void SetLastError(int from_handle);
    void ClearOwnError() { hasOwnError = false; }
    // Error to report for operation `op` that returned -1.
    TSdkError RequestError(int op) const;
    // Formats the setter document of `op` from the pending arguments; its
    // length, or -1 when it would not fit `capacity`.
    int FormatPending(int32_t op, uint32_t value, const char *index_text, char *out,
                      size_t capacity) const;
    // Keeps the arguments of a setter (a null name keeps the pending name).
    void KeepPending(uint32_t id, double min, double max, double calib, const char *name);
    // Formats and uploads the setter document of `op` (state `op` while it runs).
    int SendPending(int32_t op, uint32_t value, const char *index_text);
    int SendDocument(int32_t op, const char *document, int length);
    // Closes the trial handle of indexed mode, if one is open (GUI thread).
    void AbandonTrial();
    // Ends callbacks into this session. A subclass that overrides the Do*
    // operations calls it first in its destructor, as TIoXml does.
    void Detach();

    // Atomic: the trial connection's worker sends through it (indexed mode).
    std::atomic<int32_t> handle{-1};
    std::atomic<int32_t> state{xsClosed};
    qvxml_error_record lastError{};
    struct {
        uint32_t id = 0;
        double min = 0;
        double max = 0;
        double calib = 0;
    } pendingArgs;
    std::string pendingName;

private:
    int StartTrial(int32_t op);

    detail::SessionLink *link;
    qvxml_error_record ownError{};
    bool hasOwnError = false;
};

// Session that raises events; see the header comment for the threads.
class TIoXml : public TIoXmlCustom {
public:
    explicit TIoXml(void *owner);
    ~TIoXml() override;

    void DoConnected() override;
    void DoValues(qvxml_values *values, qvxml_values_counts *counts) override;
    void DoSetup(qvxml_setup *setup, qvxml_setup_counts *counts) override;
    void DoSetupSent(qvxml_setup *setup, qvxml_setup_counts *counts) override;
    int DoCustomParse(const char *text, int length, int kind) override;
    void DoPostParse(const char *text, int length, int kind, void *structure, void *counts,
                     int *parser_result) override;
    int DoTrialValues(int trial_handle) override;

    int Open() override;
    int Close() override;
    int GetValues() override;
    int GetSetup() override;
    int SendSetupXml(const char *text) override;
    int LoadValues(const char *text) override;
    int SetBinaryOutput(uint32_t id, uint32_t value) override;
    int SetSensorLimits(uint32_t id, double min, double max) override;
    int SetEntryName(uint32_t id, const char *name) override;
    int SetSensorCalib(uint32_t id, double calib) override;

    // Runs on the GUI thread for every message the receiver takes: raises the
    // event of `message` for a living session, drops it for a dead one.
    static void Dispatch(uint64_t serial, const detail::IoXmlMessage &message);

    TEventSlot<TSdkSimpleEventArgs> OnOpen;
    TEventSlot<TSdkSimpleEventArgs> OnClose;
    TEventSlot<TSdkSimpleEventArgs> OnRequest;
    TEventSlot<TIoXmlStateEventArgs> OnConnect;
    TEventSlot<TIoXmlValuesEventArgs> OnValues;
    TEventSlot<TIoXmlSetupEventArgs> OnSetup;
    TEventSlot<TIoXmlSetupEventArgs> OnSetupSent;
    TEventSlot<TSdkErrorEventArgs> OnError;
    TEventSlot<TIoXmlParseEventArgs> OnCustomParse;
    TEventSlot<TIoXmlParseEventArgs> OnPostParse;

private:
    int Finish(int rc, int op, const TEventSlot<TSdkSimpleEventArgs> &success);
    void RaiseError(int op, const TSdkError &error);
    void Post(int message, detail::IoXmlMessage &&payload);
    void PostError(int op, const qvxml_error_record &record);
    void PostSetupReply(int message, int failed_op);
    void PostLibraryError(int op);
    void PostReply(int message, detail::IoXmlMessage &&m);
    TIoXmlParseEventArgs ParseArgs(const char *text, int length, int kind);

    uint64_t serial;
};

// Process-wide figures, for tests and diagnostics.
int SessionCount();
bool MessageWindowExists();

} // namespace mvxapi

#endif
