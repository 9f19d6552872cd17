// The TCP setup terminal: a modal window on one TCP connection to a device's
// setup port, with Telnet negotiation hidden and four stored macro lines.
//
// Threading: everything runs on the GUI thread; the socket is event-driven.
#pragma once

#include "receivefilter.h"

#include <QAbstractSocket>
#include <QDialog>
#include <QMessageBox>

#include <memory>

class QCheckBox;
class QLineEdit;
class QMenu;
class QTcpSocket;

namespace Ui {
class TTelnetForm;
}

class TTelnetForm : public QDialog {
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 99;

    // Creates the window for a connection to `port` (0 means kDefaultPort),
    // owned by `owner` (may be null), and loads the stored macros. Nothing
    // connects yet.
    TTelnetForm(QWidget *owner, quint16 port);
    ~TTelnetForm() override;

    // Opens the whole terminal for the user: creates the window owned by
    // `owner`, connects to host:port, shows it modally and returns after it has
    // been closed and destroyed. `host` is an IPv4 address text (a host name
    // also works). This is what the main window and the detail dialog call.
    static void runModal(QWidget *owner, const QString &host, quint16 port);

    // Starts connecting to `host` and shows the window modally; returns the
    // dialog result once it has closed. The caller still owns the window.
    int Open(const QString &host);

    // Starts connecting to `host` without showing the window; the caller
    // then shows it modally (exec), so that it is modal from its first frame.
    void BeginConnect(const QString &host);

    // Starts connecting to `host` and shows the window without blocking
    // (for callers that run their own event loop, such as tests).
    void Connect(const QString &host);

    // Closing by any route (Esc, the close button, a disconnect, an error)
    // ends here: closes the socket and saves the macros, once.
    void done(int result) override;

protected:
    // Seams for the message boxes and the beep, so that automated runs can
    // answer them. The default shows a modal box with one OK button.
    virtual void showMessage(QMessageBox::Icon icon, const QString &title, const QString &text);
    virtual void beep();

    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void ClientSocketConnecting();
    void ClientSocketConnect();
    void ClientSocketRead();
    void ClientSocketDisconnect();
    void ClientSocketError(QAbstractSocket::SocketError error);

    void PopupMenuCopyClick();
    void PopupMenuPasteClick();
    void PopupMenuSelectAllClick();
    void PopupMenuClearClick();
    void CopyActionExecute();
    void PasteActionExecute();
    void Macro1ActionExecute();
    void Macro2ActionExecute();
    void Macro3ActionExecute();
    void Macro4ActionExecute();

private:
    bool MemoKeyPress(const QKeyEvent &key);
    bool isCommandKey(const QKeyEvent &key) const;
    void FormClose();
    void LoadMacros();
    void SaveMacros();
    void sendMacro(int row);
    void sendClipboard();
    void sendBytes(const QByteArray &bytes);
    void showEdits(const std::vector<kelvo::terminal::DisplayEdit> &edits);
    void closeLater();

    std::unique_ptr<Ui::TTelnetForm> ui;
    QTcpSocket *ClientSocket;
    QMenu *PopupMenu;
    QLineEdit *macroEdits[4];
    QCheckBox *hexBoxes[4];
    // The macro texts and boxes as loaded: a close writes back only what
    // this window changed, so it never undoes what another window saved.
    QString loadedText[4];
    bool loadedHex[4] = {};
    QString baseCaption;
    QString address;
    quint16 port;
    kelvo::terminal::ReceiveFilter filter;
    kelvo::terminal::LineEndFolder lineEnds;
    bool closed = false;
};
