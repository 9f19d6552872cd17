// The terminal window against a real Telnet-style peer on loopback.
#include "ttelnetform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <vector>

namespace {

constexpr int kWaitMs = 5000;
const QString kLoopback = QStringLiteral("127.0.0.1");

// Option negotiation a device sends on connect: WILL ECHO, WILL SGA, DO NAWS.
const QByteArray kNegotiation("\xFF\xFB\x01\xFF\xFB\x03\xFF\xFD\x1F", 9);

// Accepts one connection, greets it and, if asked, echoes what it receives.
class TelnetPeer : public QObject {
public:
    enum Mode { Echo, Silent, HangUp };

    explicit TelnetPeer(QByteArray greeting, Mode mode = Echo)
        : greeting_(std::move(greeting)), echo_(mode == Echo), hangUp_(mode == HangUp) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = server_.nextPendingConnection();
            if (socket == nullptr) {
                return;
            }
            conn_ = socket;
            socket->write(greeting_);
            if (hangUp_) {
                socket->disconnectFromHost();
                return;
            }
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                const QByteArray data = socket->readAll();
                received += data;
                if (echo_) {
                    socket->write(data);
                }
            });
        });
    }

    quint16 port() const { return server_.serverPort(); }
    QTcpSocket *connection() const { return conn_.data(); }
    void send(const QByteArray &data) {
        if (QTcpSocket *socket = conn_.data()) {
            socket->write(data);
        }
    }

    QByteArray received;

private:
    QTcpServer server_;
    QPointer<QTcpSocket> conn_;
    QByteArray greeting_;
    bool echo_;
    bool hangUp_;
};

class TestForm : public TTelnetForm {
public:
    using TTelnetForm::TTelnetForm;

    struct Message {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };
    std::vector<Message> messages;
    int beeps = 0;

    QPlainTextEdit *memo() { return findChild<QPlainTextEdit *>(QStringLiteral("Memo")); }
    QLineEdit *macro(int n) { return findChild<QLineEdit *>(QStringLiteral("Macro%1Edit").arg(n)); }
    QCheckBox *hex(int n) { return findChild<QCheckBox *>(QStringLiteral("Hex%1CheckBox").arg(n)); }
    QPushButton *send(int n) {
        return findChild<QPushButton *>(QStringLiteral("Send%1Button").arg(n));
    }

protected:
    void showMessage(QMessageBox::Icon icon, const QString &title, const QString &text) override {
        messages.push_back({icon, title, text});
    }
    void beep() override { ++beeps; }
};

class TerminalWindow : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).clear();
        QGuiApplication::clipboard()->clear();
    }

    // Connects, waits for the greeting to show, and makes the window active
    // with the display focused, as it is when a user opens it.
    static void open(TestForm &form, const QString &shown) {
        form.Connect(kLoopback);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        form.memo()->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.memo()->toPlainText() == shown; }, kWaitMs))
            << form.memo()->toPlainText().toStdString();
    }

    // Sends a marker through the display and waits for it at the peer, so that
    // anything sent before it has certainly arrived.
    static QByteArray receivedUpToMarker(TestForm &form, TelnetPeer &peer) {
        QTest::keyClick(form.memo(), '~');
        EXPECT_TRUE(QTest::qWaitFor([&] { return peer.received.endsWith('~'); }, kWaitMs));
        QByteArray before = peer.received.chopped(1);
        peer.received.clear();
        return before;
    }
};

TEST_F(TerminalWindow, ShowsDeviceTextWithoutNegotiationAndSendsKeys) {
    TelnetPeer peer(kNegotiation + "login: ");
    TestForm form(nullptr, peer.port());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("TCP Setup"));
    form.Connect(kLoopback);
    const QString target = QStringLiteral("127.0.0.1:%1").arg(peer.port());
    EXPECT_EQ(form.windowTitle(), "TCP Setup - " + target + " (Connecting)");
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.memo()->toPlainText() == "login: "; }, kWaitMs));
    EXPECT_EQ(form.windowTitle(), "TCP Setup - " + target);
    form.memo()->setFocus();

    // Keys go to the device only; the display shows its echo.
    QTest::keyClicks(form.memo(), QStringLiteral("adm"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form.memo()->toPlainText() == "login: adm"; }, kWaitMs));
    QTest::keyClick(form.memo(), Qt::Key_Backspace);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form.memo()->toPlainText() == "login: ad"; }, kWaitMs));
    QTest::keyClick(form.memo(), Qt::Key_Delete);
    QTest::keyClick(form.memo(), Qt::Key_Return);
    QTest::keyClick(form.memo(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray("adm\b\r\x04"));

    // Line ends, a bell and a backspace from the device, split mid-sequence.
    peer.send("\r\nPass\xFF");
    peer.send("\xFD\x18word\a\b:");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.memo()->toPlainText().endsWith(QStringLiteral("\nPasswor:")); }, kWaitMs))
        << form.memo()->toPlainText().toStdString();
    EXPECT_EQ(form.beeps, 1);
    EXPECT_TRUE(form.messages.empty());
    // Latin-1 both ways.
    QTest::sendKeyEvent(QTest::Click, form.memo(), Qt::Key_Eacute, QString::fromUtf8("\xC3\xA9"),
                        Qt::NoModifier);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.memo()->toPlainText().endsWith(QString::fromUtf8("\xC3\xA9")); },
        kWaitMs));
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray("\xE9"));

    // Styling and queries of real servers are dropped, never answered.
    peer.send("\r\n\x1b[1mBOLD\x1b[0m\x1b[6n\x1b]0;title\a.");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.memo()->toPlainText().endsWith(QStringLiteral("\nBOLD.")); }, kWaitMs))
        << form.memo()->toPlainText().toStdString();
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray());
}

TEST_F(TerminalWindow, ATextWithoutLineFeedsIsWrappedAndTheWindowKeepsUp) {
    TelnetPeer peer("go ", TelnetPeer::Silent);
    TestForm form(nullptr, peer.port());
    open(form, QStringLiteral("go "));
    // The longest the window went without handling its events, as a figure.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    const qsizetype flood = 2 * 1024 * 1024;
    peer.send(QByteArray(flood, 'A'));
    clock.start();
    tick.start(5);
    QTextDocument *doc = form.memo()->document();
    const int lines = static_cast<int>((flood + 3 + 1023) / 1024);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return doc->blockCount() == lines &&
                   doc->lastBlock().length() - 1 == (flood + 3) % 1024;
        },
        60000))
        << doc->blockCount();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        ASSERT_LE(b.length() - 1, 1024);
    std::cout << "[ figure ] longest stall while showing 2 MiB without a line feed: " << longest
              << " ms\n";
}

TEST_F(TerminalWindow, MacrosAreSentByButtonAndShortcutAndErrorsSendNothing) {
    TelnetPeer peer(kNegotiation, TelnetPeer::Silent);
    TestForm form(nullptr, peer.port());
    ASSERT_NO_FATAL_FAILURE(open(form, QString()));

    form.macro(1)->setText(QStringLiteral("<cr>Hey Y#111u"));
    form.macro(2)->setText(QStringLiteral("48 65 79"));
    form.hex(2)->setChecked(true);
    form.macro(3)->setText(QStringLiteral("#300"));
    form.macro(4)->setText(QStringLiteral("486"));
    form.hex(4)->setChecked(true);

    QTest::mouseClick(form.send(1), Qt::LeftButton);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray("\rHey You"));
    QTest::keyClick(form.memo(), Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray("Hey"));

    QTest::keyClick(form.memo(), Qt::Key_3, Qt::AltModifier);
    QTest::mouseClick(form.send(4), Qt::LeftButton);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray());
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_EQ(form.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(form.messages[0].title, QStringLiteral("Send"));
    EXPECT_EQ(form.messages[0].text,
              QStringLiteral("Decimal number 300 not valid value ASCII char!"));
    EXPECT_EQ(form.messages[1].title, QStringLiteral("Hexadecimal data format error"));
    EXPECT_EQ(form.macro(3)->text(), QStringLiteral("#300"));

    // Too long for one macro: refused with a message, nothing sent.
    form.macro(1)->setText(QString(257, QLatin1Char('x')));
    QTest::keyClick(form.memo(), Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray());
    ASSERT_EQ(form.messages.size(), 3u);
    EXPECT_EQ(form.messages[2].title, QStringLiteral("Send"));
}

TEST_F(TerminalWindow, ClipboardCommandsDependOnTheFocusedControl) {
    TelnetPeer peer(kNegotiation + "status ok", TelnetPeer::Silent);
    TestForm form(nullptr, peer.port());
    ASSERT_NO_FATAL_FAILURE(open(form, QStringLiteral("status ok")));
    QClipboard *clipboard = QGuiApplication::clipboard();

    clipboard->setText(QStringLiteral("A\r\nB\nC"));
    QTest::keyClick(form.memo(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray("A\rB\rC"));
    QTest::keyClick(form.memo(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray("A\rB\rC"));

    // Copy: the display's selection.
    QTest::keyClick(form.memo(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form.memo(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("status ok"));

    // In a macro line, Shift+Insert and Ctrl+Insert work on the line; Ctrl+V
    // only beeps. Nothing reaches the device.
    clipboard->setText(QStringLiteral("<cr>"));
    QLineEdit *line = form.macro(2);
    line->setFocus();
    QTest::keyClick(line, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(line->text(), QStringLiteral("<cr>"));
    QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(line->text(), QStringLiteral("<cr>"));
    EXPECT_EQ(form.beeps, 1);
    line->setSelection(1, 2);
    QTest::keyClick(line, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("cr"));
    form.memo()->setFocus();
    EXPECT_EQ(receivedUpToMarker(form, peer), QByteArray());

    // The popup menu and "Clear Window".
    auto *menu = form.findChild<QMenu *>(QStringLiteral("PopupMenu"));
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction *action : menu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(items, QStringList({"Copy to Clipboard", "Send Clipboard As Text (max. 256 chars)",
                                  "Select All", "-", "Clear Window"}));
    menu->actions().last()->trigger();
    EXPECT_TRUE(form.memo()->toPlainText().isEmpty());
}

TEST_F(TerminalWindow, EscClosesAndMacrosComeBackInTheNextWindow) {
    TelnetPeer peer(kNegotiation);
    {
        TestForm form(nullptr, peer.port());
        ASSERT_NO_FATAL_FAILURE(open(form, QString()));
        form.macro(1)->setText(QStringLiteral("show <cr>"));
        form.macro(4)->setText(QStringLiteral("0d 0a"));
        form.hex(4)->setChecked(true);
        QSignalSpy finished(&form, &QDialog::finished);
        QTest::keyClick(form.memo(), Qt::Key_Escape);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_FALSE(form.isVisible());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return peer.connection()->state() == QAbstractSocket::UnconnectedState; },
            kWaitMs));
        EXPECT_TRUE(peer.received.isEmpty()); // Esc itself is not sent
    }
    QSettings settings(QStringLiteral("Marvane"), QStringLiteral("Kelvo"));
    EXPECT_EQ(settings.value("Macro1").toString(), QStringLiteral("show <cr>"));
    EXPECT_EQ(settings.value("Hex4").toInt(), 1);
    EXPECT_EQ(settings.value("Hex1").toInt(), 0);

    TestForm again(nullptr, peer.port());
    EXPECT_EQ(again.macro(1)->text(), QStringLiteral("show <cr>"));
    EXPECT_EQ(again.macro(4)->text(), QStringLiteral("0d 0a"));
    EXPECT_TRUE(again.hex(4)->isChecked());
    EXPECT_FALSE(again.hex(1)->isChecked());
}

// Mode bits are POSIX's; on Windows the settings live in the user's own
// registry key.
#ifndef _WIN32
TEST_F(TerminalWindow, MacrosAreStoredReadableByTheOwnerOnly) {
    // A settings file and folder left wider by an earlier version.
    const QString file = QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).fileName();
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(folder)));
    ASSERT_EQ(chmod(folder.constData(), 0755), 0);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    {
        TestForm form(nullptr, 0);
        form.macro(2)->setText(QStringLiteral("login admin secret<cr>"));
        form.reject();
    }
    EXPECT_EQ(QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).value("Macro2"),
              QStringLiteral("login admin secret<cr>"));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(folder.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}
#endif

TEST_F(TerminalWindow, ClosingWritesBackOnlyWhatThatWindowChanged) {
    QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).setValue("Macro1", "old");
    auto first = std::make_unique<TestForm>(nullptr, 0);
    {
        TestForm second(nullptr, 0);
        second.macro(1)->setText(QStringLiteral("new"));
        second.hex(3)->setChecked(true);
        second.reject();
    }
    first->macro(2)->setText(QStringLiteral("mine"));
    first->reject();
    first.reset();
    QSettings settings(QStringLiteral("Marvane"), QStringLiteral("Kelvo"));
    EXPECT_EQ(settings.value("Macro1").toString(), QStringLiteral("new"));
    EXPECT_EQ(settings.value("Macro2").toString(), QStringLiteral("mine"));
    EXPECT_EQ(settings.value("Hex3").toInt(), 1);
}

TEST_F(TerminalWindow, LoadingStopsAtTheFirstMissingValue) {
    {
        QSettings settings(QStringLiteral("Marvane"), QStringLiteral("Kelvo"));
        settings.setValue("Macro1", "one");
        settings.setValue("Macro2", "two");
        settings.setValue("Macro4", "four");
        for (const char *key : {"Hex1", "Hex2", "Hex3", "Hex4"}) {
            settings.setValue(key, 1);
        }
        settings.setValue("Hex2", "garbage");
    }
    TestForm form(nullptr, 0);
    EXPECT_EQ(form.macro(1)->text(), QStringLiteral("one"));
    EXPECT_EQ(form.macro(2)->text(), QStringLiteral("two"));
    EXPECT_TRUE(form.macro(3)->text().isEmpty());
    EXPECT_TRUE(form.macro(4)->text().isEmpty());
    EXPECT_FALSE(form.hex(1)->isChecked());

    QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).setValue("Macro3", "three");
    TestForm second(nullptr, 0);
    EXPECT_EQ(second.macro(4)->text(), QStringLiteral("four"));
    EXPECT_TRUE(second.hex(1)->isChecked());
    EXPECT_FALSE(second.hex(2)->isChecked()); // unreadable: stops here
    EXPECT_FALSE(second.hex(3)->isChecked());
}

TEST_F(TerminalWindow, PeerClosingTheConnectionClosesTheWindowQuietly) {
    TelnetPeer peer(kNegotiation + "bye");
    TestForm form(nullptr, peer.port());
    ASSERT_NO_FATAL_FAILURE(open(form, QStringLiteral("bye")));
    form.macro(2)->setText(QStringLiteral("kept"));
    QSignalSpy finished(&form, &QDialog::finished);
    peer.connection()->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, kWaitMs));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.messages.empty());
    EXPECT_EQ(QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).value("Macro2"),
              QStringLiteral("kept"));
}

TEST_F(TerminalWindow, ConnectionErrorIsReportedThenTheWindowClosesAndSaves) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    TestForm form(nullptr, closedPort);
    form.macro(1)->setText(QStringLiteral("still saved"));
    QSignalSpy finished(&form, &QDialog::finished);
    form.Connect(kLoopback);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, kWaitMs));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(form.messages[0].text, QStringLiteral("Connection error"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).value("Macro1"),
              QStringLiteral("still saved"));
}

TEST_F(TerminalWindow, ModalOpenReturnsWhenTheDeviceHangsUp) {
    TelnetPeer peer("bye", TelnetPeer::HangUp);
    TestForm form(nullptr, peer.port());
    // A safety net bounds the wait should the hang-up go unnoticed.
    bool gaveUp = false;
    QTimer::singleShot(kWaitMs, &form, [&] {
        gaveUp = true;
        form.reject();
    });
    form.Open(kLoopback);
    EXPECT_FALSE(gaveUp);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.messages.empty());
}

TEST_F(TerminalWindow, RunModalConnectsAndReturnsAfterTheWindowCloses) {
    TelnetPeer peer("bye", TelnetPeer::HangUp);
    QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).setValue("Macro1", "m1");
    bool gaveUp = false;
    QTimer safetyNet;
    safetyNet.setSingleShot(true);
    QObject::connect(&safetyNet, &QTimer::timeout, [&] {
        gaveUp = true;
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            dialog->reject();
        }
    });
    safetyNet.start(kWaitMs);
    TTelnetForm::runModal(nullptr, kLoopback, peer.port());
    EXPECT_FALSE(gaveUp);
    EXPECT_NE(peer.connection(), nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().count(), 0);
    EXPECT_EQ(QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo")).value("Macro1"),
              QStringLiteral("m1"));
}

TEST_F(TerminalWindow, MacroRowsSitInTheirPanelPositions) {
    TestForm form(nullptr, 0);
    form.resize(669, 519);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (int n = 1; n <= 4; ++n) {
        const int y = 8 + 32 * (n - 1);
        // The designed places, except that a box whose caption needs more
        // room takes it from the edit field.
        const int wider = std::max(0, form.hex(n)->sizeHint().width() - 41);
        EXPECT_EQ(form.macro(n)->geometry(), QRect(8, y, 521 - wider, 25)) << n;
        EXPECT_EQ(form.hex(n)->geometry().topLeft(), QPoint(536 - wider, y)) << n;
        EXPECT_EQ(form.send(n)->geometry(), QRect(584, y, 75, 25)) << n;
        EXPECT_EQ(form.hex(n)->text(), QStringLiteral("HEX"));
        EXPECT_EQ(form.send(n)->toolTip(), QStringLiteral("Send macro (Alt+%1)").arg(n));
    }
    EXPECT_EQ(form.macro(1)->parentWidget()->height(), 137);
    EXPECT_EQ(form.memo()->geometry().bottom() + 1, 519 - 137);
    EXPECT_TRUE(form.memo()->font().fixedPitch());

    // With a large font the boxes grow with their caption instead of
    // cutting it.
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() * 2);
    QApplication::setFont(large);
    TestForm big(nullptr, 0);
    big.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&big));
    QApplication::setFont(normal);
    for (int n = 1; n <= 4; ++n)
        EXPECT_GE(big.hex(n)->width(), big.hex(n)->sizeHint().width()) << n;
}

} // namespace
