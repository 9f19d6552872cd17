// Opening a device directly: its web page in the desktop's browser, or the
// TCP setup terminal on its setup port; and the address checks' questions
// answered through the program's own boxes.
//
// Threading: user-interface thread.
#ifndef KELVO_UI_LAUNCH_H
#define KELVO_UI_LAUNCH_H

#include "hostprompts.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace kelvo::ui {

// The address checks' questions as message boxes; the out-of-range question
// as the "Confirm" dialog owned by `owner`.
class GuiHostPrompts : public kelvo::host::HostPrompts {
public:
    explicit GuiHostPrompts(QWidget *owner) : ownerWindow(owner) {}
    void error(const std::string &text) override;
    bool confirm(const std::string &text) override;
    bool confirmOutOfRange(const std::string &ipText, const std::string &networkText) override;

private:
    QWidget *ownerWindow;
};

// The window that owns the out-of-range question; set by the main window.
void SetMainWindow(QWidget *window);
QWidget *MainWindow();

// Opens "http://" + host + ":" + port in the default browser; when no
// browser opens, a box owned by `owner` (or the main window) shows the
// address as selectable text.
void OpenInBrowser(const QString &host, std::uint16_t port, QWidget *owner = nullptr);

// Runs the reachability check of `host` and, unless it stops, opens the TCP
// setup terminal on host:port owned by `owner`, modally.
void OpenTcpSetup(QWidget *owner, const QString &host, std::uint16_t port);

// The reachability check with the program's prompts: 0 to go on.
int CheckReachable(const QString &host);

} // namespace kelvo::ui

#endif
