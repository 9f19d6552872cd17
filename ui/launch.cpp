#include "launch.h"

#include "confirmform.h"
#include "hostadapter.h"
#include "hosturl.h"
#include "ttelnetform.h"
#include "uihooks.h"

#include <QPointer>

namespace kelvo::ui {

namespace {
QPointer<QWidget> mainWindow;
} // namespace

void GuiHostPrompts::error(const std::string &text) {
    Hooks().Error(nullptr, QString::fromStdString(text));
}

bool GuiHostPrompts::confirm(const std::string &text) {
    // The checks' questions have no owner window.
    return Hooks().Question(nullptr, QString::fromStdString(text));
}

bool GuiHostPrompts::confirmOutOfRange(const std::string &ipText, const std::string &networkText) {
    TConfirmForm dialog(mainWindow ? mainWindow.data() : owner_, QString::fromStdString(ipText),
                        QString::fromStdString(networkText));
    return Hooks().ExecDialog(dialog) == QDialog::Accepted;
}

void SetMainWindow(QWidget *window) {
    mainWindow = window;
}

QWidget *MainWindow() {
    return mainWindow;
}

void OpenInBrowser(const QString &host, std::uint16_t port) {
    Hooks().OpenUrl(QString::fromStdString(kelvo::host::BrowserUrl(host.toStdString(), port)));
}

int CheckReachable(const QString &host) {
    GuiHostPrompts prompts(MainWindow());
    return kelvo::host::CheckReachable(host.toStdString(), prompts,
                                       [](const std::string &ip) { return Hooks().Ping(ip); });
}

void OpenTcpSetup(QWidget *owner, const QString &host, std::uint16_t port) {
    if (CheckReachable(host) != 0)
        return;
    TTelnetForm terminal(owner, port);
    terminal.Connect(host);
    Hooks().ExecDialog(terminal);
}

} // namespace kelvo::ui
