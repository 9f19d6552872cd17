// Where the main window's searches go: the relay, or, when no relay answers
// on its address and the user agrees, the library's own broadcast.
#include "authform.h"
#include "hostrelay.h"
#include "mainform.h"
#include "qvudps.h"
#include "relayprobe.h"
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

QString NoRelayMessage(const std::string &address, int port, const std::string &why) {
    const char *const reasons[] = {
        QT_TRANSLATE_NOOP("kelvo::ui", "nothing there answers as kelvo-relay"),
        QT_TRANSLATE_NOOP("kelvo::ui", "nothing listens there"),
        QT_TRANSLATE_NOOP("kelvo::ui", "not an IPv4 address and port")};
    QString reason = QString::fromStdString(why);
    for (const char *known : reasons) {
        if (why == known)
            reason = QCoreApplication::translate("kelvo::ui", known);
    }
#ifdef Q_OS_WIN
    const QString start = QCoreApplication::translate(
        "kelvo::ui", "start the service kelvo-relay (Services, \"Kelvo relay\"; or as "
                     "administrator: sc start kelvo-relay; where it is not installed, run "
                     "kelvo-relay.exe in a terminal)");
#else
    const QString start = QCoreApplication::translate(
        "kelvo::ui", "start kelvo-relay (systemctl start kelvo-relay; where systemd does not run, "
                     "run kelvo-relay in a terminal)");
#endif
    return QCoreApplication::translate("kelvo::ui", "No relay at %1: %2; %3")
        .arg(QString::fromStdString(kelvo::host::RelayEndpoint(address, port)), reason, start);
}

QString NothingFoundMessage(const std::string &address, int port, const std::string &relayStatus) {
    const QString endpoint = QString::fromStdString(kelvo::host::RelayEndpoint(address, port));
    if (!relayStatus.empty())
        return QCoreApplication::translate("kelvo::ui",
                                           "no device answered through the relay at %1, which "
                                           "says: %2")
            .arg(endpoint, QString::fromStdString(relayStatus));
    return QCoreApplication::translate(
               "kelvo::ui", "no device answered through the relay at %1 (its log names the "
                            "interfaces it searched); a firewall blocking UDP from the devices is "
                            "the usual cause")
        .arg(endpoint);
}

void SetSetupRoute(const std::string &address, int port, bool direct) {
    CurrentRoute() = {address, port, direct};
}

bool TMainForm::PrepareSearchRoute(bool ask) {
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
    const QString text = NoRelayMessage(address, relayPort, probe.text);
    if (!ask) {
        // Every refresh finds the same: said once, not once per refresh.
        if (statusText != text)
            SetStatus(text);
        return false;
    }
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
    return NothingFoundMessage(relayAddress.toStdString(), relayPort, relayStatus.toStdString());
}

bool RelayReadyForSetup(QWidget *owner) {
    const Route &route = CurrentRoute();
    if (route.direct)
        return true;
    const kelvo::host::RelayProbe probe = kelvo::host::ProbeRelay(route.address, route.port);
    if (probe.presence == kelvo::host::RelayPresence::Answering)
        return true;
    Hooks().Error(owner, QCoreApplication::translate("kelvo::ui", "%1.\r\n\r\nNothing was sent.")
                             .arg(NoRelayMessage(route.address, route.port, probe.text)));
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
