#include "ttelnetform.h"
#include "ui_ttelnetform.h"

#include "accessiblenames.h"
#include "macrotranslate.h"
#include "sendtext.h"
#include "usersettings.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

using kelvo::terminal::DisplayEdit;

namespace {
// A long session must not grow the display without limit.
constexpr int kDisplayMaxLines = 10000;
// Received bytes shown in one go before the window handles its other events.
constexpr qint64 kReadSlice = 16 * 1024;

} // namespace

TTelnetForm::TTelnetForm(QWidget *owner, quint16 tcpPort)
    : QDialog(owner), ui(std::make_unique<Ui::TTelnetForm>()), ClientSocket(new QTcpSocket(this)),
      PopupMenu(nullptr), port(tcpPort == 0 ? kDefaultPort : tcpPort) {
    ui->setupUi(this);
    baseCaption = windowTitle();
    ClientSocket->setObjectName(QStringLiteral("ClientSocket"));

    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    ui->Memo->setFont(font);
    ui->Memo->setMaximumBlockCount(kDisplayMaxLines);
    ui->Memo->setTabChangesFocus(true);
    ui->Memo->installEventFilter(this);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupMenu->addAction(ui->PopupMenuCopy);
    PopupMenu->addAction(ui->PopupMenuPaste);
    PopupMenu->addAction(ui->PopupMenuSelectAll);
    PopupMenu->addSeparator();
    PopupMenu->addAction(ui->PopupMenuClear);
    connect(ui->Memo, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu->popup(ui->Memo->viewport()->mapToGlobal(pos));
    });

    // Shortcuts work from anywhere in the window, so the actions belong to it.
    addActions({ui->PopupMenuCopy, ui->PopupMenuPaste, ui->PopupMenuSelectAll, ui->PopupMenuClear,
                ui->CopyAction, ui->PasteAction, ui->Macro1Action, ui->Macro2Action,
                ui->Macro3Action, ui->Macro4Action});
    connect(ui->PopupMenuCopy, &QAction::triggered, this, &TTelnetForm::PopupMenuCopyClick);
    connect(ui->PopupMenuPaste, &QAction::triggered, this, &TTelnetForm::PopupMenuPasteClick);
    connect(ui->PopupMenuSelectAll, &QAction::triggered, this,
            &TTelnetForm::PopupMenuSelectAllClick);
    connect(ui->PopupMenuClear, &QAction::triggered, this, &TTelnetForm::PopupMenuClearClick);
    connect(ui->CopyAction, &QAction::triggered, this, &TTelnetForm::CopyActionExecute);
    connect(ui->PasteAction, &QAction::triggered, this, &TTelnetForm::PasteActionExecute);
    connect(ui->Macro1Action, &QAction::triggered, this, &TTelnetForm::Macro1ActionExecute);
    connect(ui->Macro2Action, &QAction::triggered, this, &TTelnetForm::Macro2ActionExecute);
    connect(ui->Macro3Action, &QAction::triggered, this, &TTelnetForm::Macro3ActionExecute);
    connect(ui->Macro4Action, &QAction::triggered, this, &TTelnetForm::Macro4ActionExecute);
    connect(ui->Send1Button, &QPushButton::clicked, ui->Macro1Action, &QAction::trigger);
    connect(ui->Send2Button, &QPushButton::clicked, ui->Macro2Action, &QAction::trigger);
    connect(ui->Send3Button, &QPushButton::clicked, ui->Macro3Action, &QAction::trigger);
    connect(ui->Send4Button, &QPushButton::clicked, ui->Macro4Action, &QAction::trigger);

    macroEdits[0] = ui->Macro1Edit;
    macroEdits[1] = ui->Macro2Edit;
    macroEdits[2] = ui->Macro3Edit;
    macroEdits[3] = ui->Macro4Edit;
    hexBoxes[0] = ui->Hex1CheckBox;
    hexBoxes[1] = ui->Hex2CheckBox;
    hexBoxes[2] = ui->Hex3CheckBox;
    hexBoxes[3] = ui->Hex4CheckBox;
    const QString hint =
        QCoreApplication::translate("kelvo::terminal", kelvo::terminal::kMacroLineHint);
    for (QCheckBox *box : hexBoxes) {
        // Wide enough for its caption in any font and at any scale.
        box->setFixedWidth(std::max(box->minimumWidth(), box->sizeHint().width()));
    }
    for (QLineEdit *edit : macroEdits) {
        edit->setToolTip(hint);
        // The window's shortcuts must win over the edit field's own keys.
        edit->installEventFilter(this);
    }

    connect(ClientSocket, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                if (state == QAbstractSocket::HostLookupState ||
                    state == QAbstractSocket::ConnectingState) {
                    ClientSocketConnecting();
                }
            });
    connect(ClientSocket, &QAbstractSocket::connected, this, &TTelnetForm::ClientSocketConnect);
    connect(ClientSocket, &QIODevice::readyRead, this, &TTelnetForm::ClientSocketRead);
    connect(ClientSocket, &QAbstractSocket::disconnected, this,
            &TTelnetForm::ClientSocketDisconnect);
    connect(ClientSocket, &QAbstractSocket::errorOccurred, this, &TTelnetForm::ClientSocketError);

    LoadMacros();
    ui->Memo->setAccessibleName(tr("Device output"));
    QPushButton *const sendButtons[4] = {ui->Send1Button, ui->Send2Button, ui->Send3Button,
                                         ui->Send4Button};
    QAction *const macroActions[4] = {ui->Macro1Action, ui->Macro2Action, ui->Macro3Action,
                                      ui->Macro4Action};
    QWidget *previous = ui->Memo;
    for (int i = 0; i < 4; ++i) {
        macroEdits[i]->setAccessibleName(tr("Macro %1").arg(i + 1));
        hexBoxes[i]->setAccessibleName(tr("Macro %1 is hexadecimal").arg(i + 1));
        // Four buttons all called "Send" cannot be told apart by ear.
        const QString keys = macroActions[i]->shortcut().toString(QKeySequence::NativeText);
        sendButtons[i]->setAccessibleName(tr("Send macro %1").arg(i + 1));
        sendButtons[i]->setAccessibleDescription(tr("Shortcut %1").arg(keys));
        // Tab goes along each macro line before the next one.
        for (QWidget *next :
             {static_cast<QWidget *>(macroEdits[i]), static_cast<QWidget *>(hexBoxes[i]),
              static_cast<QWidget *>(sendButtons[i])}) {
            setTabOrder(previous, next);
            previous = next;
        }
    }
    kelvo::terminal::NameControls(this);
    ui->Memo->setFocus();
}

TTelnetForm::~TTelnetForm() {
    // A window destroyed without being closed still keeps the user's macros.
    FormClose();
}

void TTelnetForm::runModal(QWidget *owner, const QString &host, quint16 tcpPort) {
    QPointer<TTelnetForm> form = new TTelnetForm(owner, tcpPort);
    form->Open(host);
    delete form.data();
}

int TTelnetForm::Open(const QString &host) {
    BeginConnect(host);
    return exec();
}

void TTelnetForm::BeginConnect(const QString &host) {
    address = host;
    ClientSocket->connectToHost(host, port);
}

void TTelnetForm::Connect(const QString &host) {
    BeginConnect(host);
    QDialog::show();
}

void TTelnetForm::done(int result) {
    // A hang-up reports both an error and a disconnect; the window finishes once.
    const bool first = !closed;
    FormClose();
    if (first || isVisible()) {
        QDialog::done(result);
    }
}

void TTelnetForm::FormClose() {
    if (closed) {
        return;
    }
    closed = true;
    ClientSocket->disconnect(this);
    ClientSocket->flush();
    ClientSocket->abort();
    SaveMacros();
}

void TTelnetForm::closeLater() {
    // Not from inside the socket's own signal: the close aborts the socket.
    QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
}

void TTelnetForm::showMessage(QMessageBox::Icon icon, const QString &title, const QString &text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

void TTelnetForm::beep() {
    QApplication::beep();
}

// ---- socket ---------------------------------------------------------------

// The caption names the port too: a device's setup port need not be 99.
void TTelnetForm::ClientSocketConnecting() {
    setWindowTitle(tr("%1 - %2:%3 (Connecting)").arg(baseCaption, address).arg(port));
}

void TTelnetForm::ClientSocketConnect() {
    setWindowTitle(baseCaption + QStringLiteral(" - ") + address + QLatin1Char(':') +
                   QString::number(port));
}

void TTelnetForm::ClientSocketRead() {
    if (closed) {
        return;
    }
    // A slice at a time, the rest after the window's other events: a device
    // that floods the connection must not freeze the window.
    const QByteArray chunk = ClientSocket->read(kReadSlice);
    showEdits(filter.feed(std::string_view(chunk.constData(), static_cast<size_t>(chunk.size()))));
    if (ClientSocket->bytesAvailable() > 0) {
        QTimer::singleShot(0, this, &TTelnetForm::ClientSocketRead);
    }
}

void TTelnetForm::ClientSocketDisconnect() {
    closeLater();
}

void TTelnetForm::ClientSocketError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        closeLater();
        return;
    }
    // No more socket events while the box waits for the user.
    ClientSocket->disconnect(this);
    showMessage(QMessageBox::Critical, baseCaption, tr("Connection error"));
    closeLater();
}

void TTelnetForm::sendBytes(const QByteArray &bytes) {
    if (bytes.isEmpty() || closed || ClientSocket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    ClientSocket->write(bytes);
}

// ---- display --------------------------------------------------------------

void TTelnetForm::showEdits(const std::vector<DisplayEdit> &edits) {
    QTextCursor end(ui->Memo->document());
    end.movePosition(QTextCursor::End);
    for (const DisplayEdit &edit : edits) {
        switch (edit.kind) {
        case DisplayEdit::Kind::Append: {
            auto column = static_cast<std::size_t>(
                std::max(0, ui->Memo->document()->lastBlock().length() - 1));
            const std::string text =
                kelvo::terminal::WrapLongLines(lineEnds.fold(edit.bytes), column);
            end.insertText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
            break;
        }
        case DisplayEdit::Kind::Backspace:
            lineEnds.reset();
            end.deletePreviousChar();
            break;
        case DisplayEdit::Kind::Beep:
            beep();
            break;
        }
    }
    QScrollBar *bar = ui->Memo->verticalScrollBar();
    bar->setValue(bar->maximum());
}

// ---- keyboard -------------------------------------------------------------

bool TTelnetForm::isCommandKey(const QKeyEvent &key) const {
    const QKeySequence pressed(key.keyCombination());
    for (const QAction *action : actions()) {
        if (!action->shortcut().isEmpty() &&
            action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            return true;
        }
    }
    return false;
}

bool TTelnetForm::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Leaving the override unaccepted lets the window's shortcut run
        // instead of the control's built-in handling of the same key.
        if (isCommandKey(*static_cast<QKeyEvent *>(event))) {
            event->ignore();
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }
    if (watched == ui->Memo && event->type() == QEvent::KeyPress) {
        return MemoKeyPress(*static_cast<QKeyEvent *>(event));
    }
    return QDialog::eventFilter(watched, event);
}

namespace {
// The character a key press types. Ctrl with a letter (or @ [ \ ] ^ _) is its
// control code, whether or not the platform has already made it one; AltGr,
// which some platforms report as Ctrl+Alt, types its character unchanged.
QString typedText(const QKeyEvent &key) {
    const QString text = key.text();
    const Qt::KeyboardModifiers mods = key.modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && text.size() == 1) {
        const char16_t ch = text.at(0).toUpper().unicode();
        if (ch >= u'@' && ch <= u'_') {
            return QString(QChar(static_cast<char16_t>(ch & 0x1F)));
        }
    }
    return text;
}
} // namespace

bool TTelnetForm::MemoKeyPress(const QKeyEvent &key) {
    const QString text = typedText(key);
    if (key.key() == Qt::Key_Escape || text == QStringLiteral("\x1b")) {
        done(QDialog::Rejected);
        return true;
    }
    switch (key.key()) {
    case Qt::Key_Backspace:
        sendBytes(QByteArray(1, '\b'));
        return true;
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false; // focus moves on to the macro lines
    default:
        break;
    }
    if (text.isEmpty()) {
        return false; // navigation keys only move through the display
    }
    sendBytes(kelvo::terminal::latin1Bytes(text));
    return true;
}

// ---- clipboard and display commands ---------------------------------------

void TTelnetForm::PopupMenuCopyClick() {
    ui->Memo->copy();
}

void TTelnetForm::PopupMenuPasteClick() {
    if (focusWidget() == ui->Memo) {
        sendClipboard();
    } else {
        beep();
    }
}

void TTelnetForm::PopupMenuSelectAllClick() {
    ui->Memo->selectAll();
}

void TTelnetForm::PopupMenuClearClick() {
    ui->Memo->clear();
    lineEnds.reset();
}

void TTelnetForm::CopyActionExecute() {
    QWidget *focused = focusWidget();
    if (focused == ui->Memo) {
        ui->Memo->copy();
    } else if (auto *edit = qobject_cast<QLineEdit *>(focused)) {
        edit->copy();
    }
}

void TTelnetForm::PasteActionExecute() {
    QWidget *focused = focusWidget();
    if (focused == ui->Memo) {
        sendClipboard();
    } else if (auto *edit = qobject_cast<QLineEdit *>(focused)) {
        edit->paste();
    }
}

void TTelnetForm::sendClipboard() {
    const QString text = QGuiApplication::clipboard()->text();
    sendBytes(kelvo::terminal::clipboardPayload(text));
}

// ---- macros ---------------------------------------------------------------

void TTelnetForm::Macro1ActionExecute() {
    sendMacro(0);
}
void TTelnetForm::Macro2ActionExecute() {
    sendMacro(1);
}
void TTelnetForm::Macro3ActionExecute() {
    sendMacro(2);
}
void TTelnetForm::Macro4ActionExecute() {
    sendMacro(3);
}

void TTelnetForm::sendMacro(int row) {
    const QByteArray utf8 = macroEdits[row]->text().toUtf8();
    const std::string_view text(utf8.constData(), static_cast<size_t>(utf8.size()));
    const kelvo::terminal::MacroResult result = hexBoxes[row]->isChecked()
                                                    ? kelvo::terminal::translateHexMacro(text)
                                                    : kelvo::terminal::translateEscapedMacro(text);
    if (!result.ok()) {
        const kelvo::terminal::MacroMessage message = kelvo::terminal::macroErrorMessage(result);
        const QString shown =
            QCoreApplication::translate("kelvo::terminal", message.textTemplate.c_str());
        showMessage(QMessageBox::Critical,
                    QCoreApplication::translate("kelvo::terminal", message.title.c_str()),
                    message.textTemplate.find("%1") == std::string::npos
                        ? shown
                        : shown.arg(QString::fromStdString(message.value)));
        return;
    }
    sendBytes(QByteArray(result.bytes.data(), static_cast<qsizetype>(result.bytes.size())));
}

void TTelnetForm::LoadMacros() {
    QSettings settings = kelvo::terminal::UserSettings();
    const auto remember = [this] {
        for (int i = 0; i < 4; ++i) {
            loadedText[i] = macroEdits[i]->text();
            loadedHex[i] = hexBoxes[i]->isChecked();
        }
    };
    for (int i = 0; i < 4; ++i) {
        const QString key = QStringLiteral("Macro%1").arg(i + 1);
        const QVariant value = settings.value(key);
        if (!value.isValid() || !value.canConvert<QString>()) {
            return remember();
        }
        macroEdits[i]->setText(value.toString());
    }
    for (int i = 0; i < 4; ++i) {
        const QString key = QStringLiteral("Hex%1").arg(i + 1);
        bool ok = false;
        const int value = settings.value(key).toInt(&ok);
        if (!ok) {
            return remember();
        }
        hexBoxes[i]->setChecked(value != 0);
    }
    remember();
}

void TTelnetForm::SaveMacros() {
    QSettings settings = kelvo::terminal::UserSettings();
    // Values nobody has stored yet are written too, so the next window can
    // read the whole set.
    for (int i = 0; i < 4; ++i) {
        const QString key = QStringLiteral("Macro%1").arg(i + 1);
        if (macroEdits[i]->text() != loadedText[i] || !settings.contains(key)) {
            settings.setValue(key, macroEdits[i]->text());
        }
    }
    for (int i = 0; i < 4; ++i) {
        const QString key = QStringLiteral("Hex%1").arg(i + 1);
        if (hexBoxes[i]->isChecked() != loadedHex[i] || !settings.contains(key)) {
            settings.setValue(key, hexBoxes[i]->isChecked() ? 1 : 0);
        }
    }
    settings.sync();
}
