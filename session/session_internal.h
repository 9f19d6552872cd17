// Private to session/*.cpp: the tie between library handles and a session,
// the message payload and the process-wide data of the layer.
#ifndef MVXAPI_SESSION_INTERNAL_H
#define MVXAPI_SESSION_INTERNAL_H

#include "ioxml.h"

#include <qvplatform.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace mvxapi::detail {

// The library's user data of every handle a session opens. A worker that
// outlives its session (a close that timed out, a trial connection still
// downloading) only ever sees a null session: callbacks enter the session
// through the link, and the destructor detaches it after the callbacks that
// entered have left. No lock is held while a callback runs, since the
// library calls some callbacks with its parse lock held. Each open handle
// holds a reference, so the link stays valid for late callbacks.
struct SessionLink {
    std::mutex lock;
    std::condition_variable changed;
    TIoXmlCustom *session = nullptr;
    int active = 0;            // callbacks running in the session
    int trialHandle = -1;      // whoever takes it out closes the trial handle
    bool trialRunning = false; // a trial callback works with the pending change
    std::atomic<int> refs{1};

    void Acquire() { refs.fetch_add(1); }
    void Release() {
        if (refs.fetch_sub(1) == 1)
            delete this;
    }
    // The session for a callback, or null once detached; Leave() afterwards.
    TIoXmlCustom *Enter() {
        std::lock_guard guard(lock);
        if (session)
            ++active;
        return session;
    }
    void Leave() {
        std::lock_guard guard(lock);
        if (--active == 0)
            changed.notify_all();
    }
    // Must not be called from a callback of the session (it would wait for
    // itself).
    void Detach() {
        std::unique_lock guard(lock);
        session = nullptr;
        changed.wait(guard, [this] { return active == 0; });
    }
};

// A callback's stay in the session.
class CallbackScope {
public:
    explicit CallbackScope(SessionLink *link) : sessionLink(link), entered(link->Enter()) {}
    ~CallbackScope() {
        if (entered)
            sessionLink->Leave();
    }
    CallbackScope(const CallbackScope &) = delete;
    CallbackScope &operator=(const CallbackScope &) = delete;
    TIoXmlCustom *Session() const { return entered; }

private:
    SessionLink *sessionLink;
    TIoXmlCustom *entered;
};

// One posted message; it travels inside the queued event and is freed with
// it, whether or not it was dispatched.
struct IoXmlMessage {
    int message = 0;
    int32_t state = 0; // CONNECTED, SETUP, SETUP_SENT
    void *structure = nullptr;
    void *counts = nullptr;
    char module_host[16] = {};
    int32_t module_port = 0;
    int32_t operation = 0; // ERROR
    qvxml_error_record error{};
};

// Process-wide lock of the layer: initialised with the first session, never
// destroyed, so that late workers can always take it.
qv_thread_mutex *SessionLock();

class LayerLock {
public:
    LayerLock() { qv_thread_mutex_lock(SessionLock()); }
    ~LayerLock() { qv_thread_mutex_unlock(SessionLock()); }
    LayerLock(const LayerLock &) = delete;
    LayerLock &operator=(const LayerLock &) = delete;
};

// Under SessionLock:
int &SessionCountRef();

// Message receiver (GUI thread). Create and destroy under SessionLock.
void CreateMessageWindow();
void DestroyMessageWindow();
// Queues the message for the receiver; without a receiver it is freed at once.
// Any thread.
void PostToWindow(uint64_t serial, const IoXmlMessage &message);

// Living TIoXml sessions by serial; the receiver dispatches only to these.
uint64_t RegisterSession(TIoXml *session);
void UnregisterSession(uint64_t serial);
TIoXml *FindSession(uint64_t serial);

// Setter documents. `op` 5..8; the fields come from `id`, `value` and the
// pending arguments. Result: length, or -1 when it does not fit `capacity`.
int FormatSetterDocument(int32_t op, uint32_t id, uint32_t value, double min, double max,
                         double calib, const char *name, const char *index_text, char *out,
                         size_t capacity);

// Copies `code` with its library message and no system error into `record`.
void MakeErrorRecord(qvxml_error_record &record, int code, const char *text = nullptr);

} // namespace mvxapi::detail

#endif
