#include "session_fixture.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLocale>

#include <clocale>

#include <algorithm>

namespace kelvo::test {

using namespace mvxapi;

const char kSetupXml[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                         "<Root>\n"
                         "<Agent><Version>1.4.2</Version><DeviceName>Lab box</DeviceName></Agent>\n"
                         "<SenSet>\n"
                         "<Entry><ID>1</ID><Name>Room</Name><Units>C</Units></Entry>\n"
                         "<Entry><ID>3</ID><Name>Hall</Name><Units>%RH</Units></Entry>\n"
                         "</SenSet>\n"
                         "</Root>\n";

const char kValuesXml[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<Root><Agent><Version>2.35</Version></Agent>\n"
                          "<SenSet>\n"
                          "<Entry><ID>5</ID><Name>A</Name><Value>21.5</Value></Entry>\n"
                          "<Entry><ID>9</ID><Name>B</Name><Value>40.0</Value></Entry>\n"
                          "</SenSet></Root>\n";

DecimalCommaLocale::DecimalCommaLocale() {
    const char *current = setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
        if (setlocale(LC_ALL, name)) {
            active_ = true;
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            return;
        }
    }
}

DecimalCommaLocale::~DecimalCommaLocale() {
    setlocale(LC_ALL, previous_.c_str());
    QLocale::setDefault(QLocale::c());
}

bool PumpUntil(const std::function<bool()> &done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(2);
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

void Recorder::Attach(TIoXml &s) {
    s.OnOpen = new EventHandler<Recorder, TSdkSimpleEventArgs>(this, &Recorder::Opened);
    s.OnClose = new EventHandler<Recorder, TSdkSimpleEventArgs>(this, &Recorder::Closed);
    s.OnRequest = new EventHandler<Recorder, TSdkSimpleEventArgs>(this, &Recorder::Requested);
    s.OnConnect = new EventHandler<Recorder, TIoXmlStateEventArgs>(this, &Recorder::Connected);
    s.OnValues = new EventHandler<Recorder, TIoXmlValuesEventArgs>(this, &Recorder::Values);
    s.OnSetup = new EventHandler<Recorder, TIoXmlSetupEventArgs>(this, &Recorder::Setup);
    s.OnSetupSent = new EventHandler<Recorder, TIoXmlSetupEventArgs>(this, &Recorder::SetupSent);
    s.OnError = new EventHandler<Recorder, TSdkErrorEventArgs>(this, &Recorder::Error);
}

void Recorder::Note(const std::string &what, TIoXmlCustom *sender) {
    events.push_back(what);
    senders.push_back(sender);
}

void Recorder::CheckGuiThread() {
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        offGuiThread = true;
}

void Recorder::Connected(TIoXmlStateEventArgs *a) {
    CheckGuiThread();
    Note("connect", a->sender);
}

void Recorder::Values(TIoXmlValuesEventArgs *a) {
    CheckGuiThread();
    values.push_back(*a);
    Note("values", a->sender);
}

void Recorder::Setup(TIoXmlSetupEventArgs *a) {
    SetupEvent("setup", a);
}

void Recorder::SetupSent(TIoXmlSetupEventArgs *a) {
    SetupEvent("sent", a);
}

void Recorder::SetupEvent(const std::string &what, TIoXmlSetupEventArgs *a) {
    CheckGuiThread();
    stateInHandler = a->sender->GetState();
    setups.push_back(*a);
    Note(what, a->sender);
    if (onSetup)
        onSetup(a);
}

void Recorder::Error(TSdkErrorEventArgs *a) {
    CheckGuiThread();
    stateInHandler = a->sender->GetState();
    errors.push_back(*a);
    Note("error", a->sender);
}

size_t Recorder::Count(const std::string &what) const {
    return size_t(std::count(events.begin(), events.end(), what));
}

} // namespace kelvo::test

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
