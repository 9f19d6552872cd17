// Where the main window's searches go: the relay, or, when no relay answers
// on its address and the user agrees, the library's own broadcast.
#include "authform.h"
#include "hostrelay.h"
#include "mainform.h"
#include "qvudps.h"
#include "uihooks.h"

#include <QCoreApplication>

namespace kelvo::ui {

namespace {

// One main window per process; the detail dialog and the credential prompts
// ask the same route before they send a setup or a password.
struct Route {
    std::string address = "127.0.0.1";
    int port = 9999;
    bool direct = false;
};

Route &CurrentRoute() {
    static Route route;
    return route;
}

} // namespace

void SetSetupRoute(const std::string &address, int port, bool direct) {
    CurrentRoute() = {address, port, direct};
}

bool TMainForm::PrepareSearchRoute() {
    const std::string address = relayAddress.toStdString();
    const kelvo::host::RelayProbe probe = kelvo::host::ProbeRelay(address, relayPort);
    if (probe.presence == kelvo::host::RelayPresence::Answering) {
        if (directSearch) // the relay is back: use it again
            qvudps_set_proxy(address.c_str(), relayPort, "Mvx-Config");
        directSearch = false;
        SetSetupRoute(address, relayPort, false);
        relayStatus = QString::fromStdString(probe.text);
        return true;
    }
    if (directSearch) // chosen for this session, and still no relay
        return true;
    const QString text =
        QString::fromStdString(kelvo::host::NoRelayText(address, relayPort, probe.text));
    SetStatus(text);
    if (!Hooks().Question(this, tr("%1.\r\n\r\nSearch directly with this program's own "
                                   "broadcast on every network of this PC?")
                                    .arg(text)))
        return false;
    qvudps_set_proxy(nullptr, 0, nullptr);
    directSearch = true;
    SetSetupRoute(address, relayPort, true);
    return true;
}

QString TMainForm::NothingFoundHint() const {
    return QString::fromStdString(kelvo::host::NothingFoundText(
        relayAddress.toStdString(), relayPort, relayStatus.toStdString()));
}

bool RelayReadyForSetup(QWidget *owner) {
    const Route &route = CurrentRoute();
    if (route.direct)
        return true;
    const kelvo::host::RelayProbe probe = kelvo::host::ProbeRelay(route.address, route.port);
    if (probe.presence == kelvo::host::RelayPresence::Answering)
        return true;
    Hooks().Error(owner, QCoreApplication::translate("kelvo::ui", "%1.\r\n\r\nNothing was sent.")
                             .arg(QString::fromStdString(
                                 kelvo::host::NoRelayText(route.address, route.port, probe.text))));
    return false;
}

bool PasswordRefusedForDirectSearch(QWidget *owner) {
    if (!CurrentRoute().direct)
        return false;
    Hooks().Error(owner,
                  QCoreApplication::translate(
                      "kelvo::ui", "This device was found by this program's own search, which "
                                   "takes answers from anyone on this PC or network, "
                                   "so no password is sent to it.\r\n\r\nStart "
                                   "kelvo-relay and search again."));
    return true;
}

} // namespace kelvo::ui
