// The hidden receiver: a QObject on the GUI thread to which the library's
// worker threads post (session, message, payload) events. Qt delivers posted
// events to one receiver in posting order, and deletes the ones still queued
// when the receiver goes, so every payload is freed exactly once.
#include "session_internal.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <unordered_map>

namespace mvxapi::detail {
namespace {

QEvent::Type MessageEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class TIoXmlMessageEvent final : public QEvent {
public:
    TIoXmlMessageEvent(uint64_t eventSerial, const IoXmlMessage &posted)
        : QEvent(MessageEventType()), serial(eventSerial), message(posted) {}

    const uint64_t serial;
    const IoXmlMessage message;
};

class TIoXmlWindow final : public QObject {
public:
    bool event(QEvent *e) override {
        if (e->type() != MessageEventType())
            return QObject::event(e);
        const auto *m = static_cast<TIoXmlMessageEvent *>(e);
        if (m->message.message < IOXML_MSG_CONNECTED || m->message.message > IOXML_MSG_ERROR)
            return true;
        // A handler may destroy the last session and with it this receiver;
        // the deletion is then deferred until the dispatch has returned.
        ++dispatching;
        TIoXml::Dispatch(m->serial, m->message);
        --dispatching;
        return true;
    }

    int dispatching = 0;
};

TIoXmlWindow *messageWindow = nullptr; // under SessionLock
int sessionCount = 0;                  // under SessionLock
uint64_t nextSerial = 0;               // under SessionLock
std::unordered_map<uint64_t, TIoXml *> &Registry() {
    static std::unordered_map<uint64_t, TIoXml *> registry;
    return registry;
}

} // namespace

qv_thread_mutex *SessionLock() {
    static qv_thread_mutex *lock = [] {
        // Deliberately leaked: workers that outlive the last session may still
        // take it.
        auto *m = new qv_thread_mutex;
        qv_thread_mutex_init(m);
        return m;
    }();
    return lock;
}

int &SessionCountRef() {
    return sessionCount;
}

void CreateMessageWindow() {
    if (!messageWindow)
        messageWindow = new TIoXmlWindow;
}

void DestroyMessageWindow() {
    TIoXmlWindow *w = messageWindow;
    messageWindow = nullptr;
    if (!w)
        return;
    if (w->dispatching > 0)
        w->deleteLater();
    else
        delete w;
}

void PostToWindow(uint64_t serial, const IoXmlMessage &message) {
    LayerLock guard;
    if (messageWindow)
        QCoreApplication::postEvent(messageWindow, new TIoXmlMessageEvent(serial, message));
}

uint64_t RegisterSession(TIoXml *session) {
    LayerLock guard;
    const uint64_t serial = ++nextSerial;
    Registry().emplace(serial, session);
    return serial;
}

void UnregisterSession(uint64_t serial) {
    LayerLock guard;
    Registry().erase(serial);
}

TIoXml *FindSession(uint64_t serial) {
    LayerLock guard;
    const auto it = Registry().find(serial);
    return it == Registry().end() ? nullptr : it->second;
}

} // namespace mvxapi::detail

namespace mvxapi {

int SessionCount() {
    detail::LayerLock guard;
    return detail::sessionCount;
}

bool MessageWindowExists() {
    detail::LayerLock guard;
    return detail::messageWindow != nullptr;
}

} // namespace mvxapi
