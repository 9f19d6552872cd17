/*
 * Root object, states, error record and event machinery of the device session
 * layer. Qt-free: the only Qt piece of the layer is the message receiver that
 * hands worker-thread results to the GUI thread (messagewindow.h).
 */
#ifndef MVXAPI_SDKEVENTS_H
#define MVXAPI_SDKEVENTS_H

#include <qvxml.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

namespace mvxapi {

// Session state; the same numbers name the operation in TSdkErrorEventArgs.
enum TIoXmlState : int32_t {
    xsClosed = 0,       // no handle                   / Open
    xsReady = 1,        // handle open, nothing running / Close
    xsValues = 2,       // values request or LoadValues
    xsSetup = 3,        // setup request
    xsSendSetup = 4,    // setup upload
    xsBinaryOut = 5,    // SetBinaryOutput
    xsSensorLimits = 6, // SetSensorLimits
    xsName = 7,         // SetEntryName
    xsCalib = 8,        // SetSensorCalib
};

// Root of the layer; keeps the owner given at construction (the main window).
class TSdkObject {
public:
    explicit TSdkObject(void *ownerObject) : owner(ownerObject) {}
    virtual ~TSdkObject() = default;
    TSdkObject(const TSdkObject &) = delete;
    TSdkObject &operator=(const TSdkObject &) = delete;

    void *owner;
};

class TIoXmlCustom;

// A library error record in the layer's own terms.
struct TSdkError {
    int32_t code = 0;      // library code (0 = none)
    int32_t sys_errno = 0; // errno when it was recorded
    std::string text;      // library message of `code`
    std::string sys_text;  // runtime text of `sys_errno`

    TSdkError() = default;
    explicit TSdkError(const qvxml_error_record &record);
};

// Every argument record starts with the session that raised the event.
struct TEventArgs {
    TIoXmlCustom *sender = nullptr;
};

struct TSdkSimpleEventArgs : TEventArgs {};

struct TIoXmlStateEventArgs : TEventArgs {
    int32_t state = 0; // session state when the connection was made
};

// Pointers into the library's cache of the handle: valid until the next
// request or close of that session. Both null in custom-parse mode.
struct TIoXmlValuesEventArgs : TEventArgs {
    qvxml_values *values = nullptr;
    qvxml_values_counts *values_counts = nullptr;
    char module_host[16] = {};
    int32_t module_port = 0;
};

struct TIoXmlSetupEventArgs : TEventArgs {
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *setup_counts = nullptr;
    char module_host[16] = {};
    int32_t module_port = 0;
    // State when the reply arrived: 3 setup request, 4 upload, 5..8 a setter.
    int32_t state = 0;
};

struct TSdkErrorEventArgs : TEventArgs {
    uint8_t operation = 0; // TIoXmlState value of the failed operation
    int32_t code = 0;
    int32_t sys_errno = 0;
    std::string text;
    std::string sys_text;

    void SetError(const TSdkError &error);
};

// Custom parser and after-parse callbacks, passed through from the library.
// They run on the library's worker thread.
struct TIoXmlParseEventArgs : TEventArgs {
    const char *text = nullptr;
    int length = 0;
    int kind = 0;                 // 0 values, 1 setup
    void *structure = nullptr;    // after parse only
    void *counts = nullptr;       // after parse only
    int *parser_result = nullptr; // after parse only
    // Custom parser only: handed back to the library, 0 accepts the text.
    int32_t result = -1;
};

// Abstract owned callable of an event slot.
class TEventCustom {
public:
    virtual void Invoke(TEventArgs *args) = 0;
    virtual ~TEventCustom() = default;
};

// Binds an event to a method of the receiving object:
//   session->OnSetup = new EventHandler<TMainForm, TIoXmlSetupEventArgs>(
//       this, &TMainForm::XmlSetupEvent);
template <class TObject, class TArgs> class EventHandler : public TEventCustom {
public:
    using Method = void (TObject::*)(TArgs *);
    using Args = TArgs;

    EventHandler(TObject *object, Method method) : receiver(object), handlerMethod(method) {}

    void Invoke(TEventArgs *args) override {
        (receiver->*handlerMethod)(static_cast<TArgs *>(args));
    }

private:
    TObject *receiver;
    Method handlerMethod;
};

namespace detail {
template <class T> struct HandlerArgs {};
template <class TObject, class TArgs> struct HandlerArgs<EventHandler<TObject, TArgs>> {
    using type = TArgs;
};
} // namespace detail

// Owning event slot of a session. Assigning a handler destroys the previous
// one; only handlers whose argument record matches the slot are accepted, so
// a mismatch is a compile error instead of a wrong cast at run time.
template <class TArgs> class TEventSlot {
public:
    TEventSlot() = default;
    TEventSlot(const TEventSlot &) = delete;
    TEventSlot &operator=(const TEventSlot &) = delete;

    template <class THandler> TEventSlot &operator=(THandler *handler) {
        static_assert(std::is_same_v<typename detail::HandlerArgs<THandler>::type, TArgs>,
                      "handler argument record does not match the event");
        installed.reset(handler);
        return *this;
    }
    TEventSlot &operator=(std::nullptr_t) {
        installed.reset();
        return *this;
    }

    explicit operator bool() const { return installed != nullptr; }

    // Calls the handler, if any; true when one was called.
    bool Raise(TArgs *args) const {
        if (!installed)
            return false;
        installed->Invoke(args);
        return true;
    }

private:
    std::unique_ptr<TEventCustom> installed;
};

} // namespace mvxapi

#endif
