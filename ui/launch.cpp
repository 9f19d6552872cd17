#include "launch.h"

#include "confirmform.h"
#include "hostadapter.h"
#include "hosturl.h"
#include "ttelnetform.h"
#include "uihooks.h"

#include <QCoreApplication>
#include <QPointer>

namespace kelvo::ui {

namespace {
QPointer<QWidget> mainWindow;
// The one terminal that may be open at a time.
QPointer<TTelnetForm> openTerminal;
} // namespace

void GuiHostPrompts::error(const std::string &text) {
    Hooks().Error(nullptr, QString::fromStdString(text));
}

bool GuiHostPrompts::confirm(const std::string &text) {
    // The checks' questions have no owner window.
    return Hooks().Question(nullptr, QString::fromStdString(text));
}

bool GuiHostPrompts::confirmOutOfRange(const std::string &ipText, const std::string &networkText) {
    TConfirmForm dialog(mainWindow ? mainWindow.data() : ownerWindow,
                        QString::fromStdString(ipText), QString::fromStdString(networkText));
    return Hooks().ExecDialog(dialog) == QDialog::Accepted;
}

void SetMainWindow(QWidget *window) {
    mainWindow = window;
}

QWidget *MainWindow() {
    return mainWindow;
}

void OpenInBrowser(const QString &host, std::uint16_t port, QWidget *owner) {
    const QString url = QString::fromStdString(kelvo::host::BrowserUrl(host.toStdString(), port));
    if (!Hooks().OpenUrl(url)) {
        // Without a browser the user can still copy the address from the box.
        Hooks().Error(
            owner ? owner : MainWindow(),
            QCoreApplication::translate(
                "kelvo::ui", "No web browser could be opened. The device's address is:\n%1")
                .arg(url));
    }
}

int CheckReachable(const QString &host) {
    GuiHostPrompts prompts(MainWindow());
    return kelvo::host::CheckReachable(host.toStdString(), prompts,
                                       [](const std::string &ip) { return Hooks().Ping(ip); });
}

void OpenTcpSetup(QWidget *owner, const QString &host, std::uint16_t port) {
    if (openTerminal) {
        openTerminal->raise();
        openTerminal->activateWindow();
        return;
    }
    if (CheckReachable(host) != 0)
        return;
    // Owned by the window that opens it, so it stays on top of that window;
    // not shown before exec, so it is modal from its first frame.
    TTelnetForm terminal(owner, port);
    openTerminal = &terminal;
    terminal.BeginConnect(host);
    Hooks().ExecDialog(terminal);
}

} // namespace kelvo::ui
