// Shared pieces of the session tests: an event recorder bound to a session's
// slots, event pumping with a bound, and sample device documents.
#ifndef KELVO_TESTS_SESSION_FIXTURE_H
#define KELVO_TESTS_SESSION_FIXTURE_H

#include "http_peer.h"
#include "qvnoncopyable.h"

#include <mvxapi.h>

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kelvo::test {

// Pumps the Qt event loop until `done` or `ms` have passed.
bool PumpUntil(const std::function<bool()> &done, int ms = 8000);
// Pumps for `ms` regardless.
void PumpFor(int ms);

// Switches the C library (and Qt's default locale) to a decimal-comma locale
// for the object's lifetime; Active() is false where none is installed.
class DecimalCommaLocale : qv::noncopyable {
public:
    DecimalCommaLocale();
    ~DecimalCommaLocale();
    bool Active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

extern const char kSetupXml[];  // sensors 1 and 3
extern const char kValuesXml[]; // sensors 5 and 9

// Records every event of the sessions it is attached to, with the thread it
// arrived on.
class Recorder {
public:
    void Attach(mvxapi::TIoXml &session);

    void Opened(mvxapi::TSdkSimpleEventArgs *a) { Note("open", a->sender); }
    void Closed(mvxapi::TSdkSimpleEventArgs *a) { Note("close", a->sender); }
    void Requested(mvxapi::TSdkSimpleEventArgs *a) { Note("request", a->sender); }
    void Connected(mvxapi::TIoXmlStateEventArgs *a);
    void Values(mvxapi::TIoXmlValuesEventArgs *a);
    void Setup(mvxapi::TIoXmlSetupEventArgs *a);
    void SetupSent(mvxapi::TIoXmlSetupEventArgs *a);
    void Error(mvxapi::TSdkErrorEventArgs *a);

    size_t Count(const std::string &what) const;
    bool Has(const std::string &what) const { return Count(what) > 0; }

    std::vector<std::string> events;
    std::vector<mvxapi::TIoXmlCustom *> senders;
    std::vector<mvxapi::TIoXmlSetupEventArgs> setups;
    std::vector<mvxapi::TIoXmlValuesEventArgs> values;
    std::vector<mvxapi::TSdkErrorEventArgs> errors;
    int stateInHandler = -1;
    bool offGuiThread = false;
    // Runs inside the setup and setup-sent handlers when set.
    std::function<void(mvxapi::TIoXmlSetupEventArgs *)> onSetup;

private:
    void Note(const std::string &what, mvxapi::TIoXmlCustom *sender);
    void SetupEvent(const std::string &what, mvxapi::TIoXmlSetupEventArgs *a);
    void CheckGuiThread();
};

} // namespace kelvo::test

#endif
