// Where the main window's searches go: the relay, or, when nothing listens on
// the relay's address and the user agrees, the library's own broadcast.
#include "hostrelay.h"
#include "mainform.h"
#include "qvudps.h"
#include "uihooks.h"

namespace kelvo::ui {

bool TMainForm::PrepareSearchRoute() {
    const std::string address = relayAddress.toStdString();
    if (kelvo::host::ProbeRelay(address, relayPort) != kelvo::host::RelayPresence::Absent) {
        if (directSearch) // the relay is back: use it again
            qvudps_set_proxy(address.c_str(), relayPort, "Mvx-Config");
        directSearch = false;
        return true;
    }
    if (directSearch) // chosen for this session, and still no relay
        return true;
    const QString text = QString::fromStdString(kelvo::host::NoRelayText(address, relayPort));
    SetStatus(text);
    if (!Hooks().Question(this, text + ".\r\n\r\nSearch directly with this program's own "
                                       "broadcast on every network of this PC?"))
        return false;
    qvudps_set_proxy(nullptr, 0, nullptr);
    directSearch = true;
    return true;
}

QString TMainForm::NothingFoundHint() const {
    return QString::fromStdString(
        kelvo::host::NothingFoundText(relayAddress.toStdString(), relayPort));
}

} // namespace kelvo::ui
