// The dialogs on their own, with records made up by the test: no device is
// reached (the records' MAC addresses were never found by a search, so the
// library sends nothing for them).
#include "aboutform.h"
#include "appmutex.h"
#include "artwork.h"
#include "authform.h"
#include "confirmform.h"
#include "detailform.h"
#include "launch.h"
#include "mainform.h"
#include "readable.h"
#include "ttelnetform.h"
#include "ui_aboutform.h"
#include "ui_authform.h"
#include "ui_confirmform.h"
#include "ui_detailform.h"
#include "ui_mainform.h"
#include "uitest_support.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QNetworkDatagram>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <clocale>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#ifdef __linux__
#include <sys/prctl.h>
#endif

using namespace kelvo::test;
using kelvo::ui::TDetailForm;

namespace {

QString Status(TDetailForm &f) {
    return f.ui->StatusBar->currentMessage();
}

} // namespace

TEST_F(Dialogs, DetailDialogShowsTheRecord) {
    qvudps_module m = Record();
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    EXPECT_EQ(f.windowTitle(), "Details - Old (02:AA:00:00:00:01)");
    EXPECT_EQ(f.ui->NameEdit->text(), "Old");
    EXPECT_EQ(f.ui->PortEdit->text(), "10001");
    EXPECT_EQ(f.ui->DeviceEdit->text(), "Serial converter (7)");
    EXPECT_EQ(f.ui->DHCPEdit->text(), "Not supported");
    EXPECT_EQ(f.ui->FWEdit->text(), "3.5.10");
    EXPECT_EQ(Status(f), "Ready");
    EXPECT_FALSE(f.ui->DHCPCheckBox->isEnabled());
    EXPECT_FALSE(f.ui->WEBBitBtn->isEnabled());
    EXPECT_FALSE(f.ui->DefaultsBitBtn->isEnabled());
    EXPECT_TRUE(f.ui->NVTCheckBox->isEnabled());
    // Filter 0.0.0.0/0.0.0.0: the filter is off and its fields are locked.
    EXPECT_FALSE(f.ui->EnableFilterCheckBox->isChecked());
    EXPECT_FALSE(f.ui->IPFilterEdit->isEnabled());
    // The terminal button follows support at first, the box afterwards.
    EXPECT_FALSE(f.ui->TCPCheckBox->isChecked());
    EXPECT_TRUE(f.ui->TCPSetupButton->isEnabled());
    f.ui->TCPCheckBox->click();
    EXPECT_TRUE(f.ui->TCPSetupButton->isEnabled());
    f.ui->TCPCheckBox->click();
    EXPECT_FALSE(f.ui->TCPSetupButton->isEnabled());

    // A device with DHCP on and a filter set.
    qvudps_module d = Record();
    d.dhcp_supported = d.dhcp_enabled = 1;
    std::strcpy(d.filter_ip, "10.0.0.0");
    d.web_supported = 1;
    TDetailForm g(nullptr, &d, &spinner);
    g.show();
    EXPECT_FALSE(g.ui->IPEdit->isEnabled());
    EXPECT_FALSE(g.ui->GatewayEdit->isEnabled());
    EXPECT_TRUE(g.ui->DHCPLabelEdit1->isVisibleTo(&g));
    // The marks have room for their whole text.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    for (QLineEdit *mark : {g.ui->DHCPLabelEdit, g.ui->DHCPLabelEdit1, g.ui->DHCPLabelEdit2})
        EXPECT_GT(mark->width(), mark->fontMetrics().horizontalAdvance("(DHCP)") + 4);
    EXPECT_TRUE(g.ui->EnableFilterCheckBox->isChecked());
    EXPECT_TRUE(g.ui->IPFilterEdit->isEnabled());
    // Unticking the filter writes zeros into both fields.
    g.ui->EnableFilterCheckBox->click();
    EXPECT_EQ(g.ui->IPFilterEdit->text(), "0.0.0.0");
    EXPECT_EQ(g.ui->IPMaskFilterEdit->text(), "0.0.0.0");
    // The web button opens the typed address at the device's web port.
    d.web_port = 8080;
    g.ui->IPEdit->setText("10.1.1.1");
    QTest::mouseClick(g.ui->WEBBitBtn, Qt::LeftButton);
    EXPECT_EQ(hooks.urls, QStringList{"http://10.1.1.1:8080"});
}

TEST_F(Dialogs, ApplyRefusesBadInputAndLeavesTheRecordAlone) {
    qvudps_module m = Record();
    const qvudps_module original = m;
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    f.ui->ValidCheckBox->setChecked(false);

    f.ui->PortEdit->setText("80a");
    f.SaveBitBtnClick();
    EXPECT_EQ(hooks.errors.value(0),
              "'80a' is not a valid integer value\nPort: a whole number from 0 to 65535");

    f.ui->PortEdit->setText("99");
    hooks.answers = {false};
    f.SaveBitBtnClick();
    EXPECT_TRUE(hooks.questions.value(0).startsWith("Port 99 is reserved for UDP Setup"));
    EXPECT_EQ(hooks.questions.size(), 1);

    // Not an address, even with the address check unticked.
    f.ui->PortEdit->setText("80");
    f.ui->GatewayEdit->setText("10.9.8");
    f.SaveBitBtnClick();
    EXPECT_EQ(hooks.errors.value(1), "Some of network parameters is not correct?\n"
                                     "Gateway: \"10.9.8\" is not an address like 192.168.1.10");

    // What kelvo-cli refuses, whether the address check is ticked or not.
    f.ui->GatewayEdit->setText("10.9.8.1");
    const char *const refused[][3] = {{"10.9.8.7", "255.0.255.0", "not a subnet mask"},
                                      {"10.9.8.7", "0.0.0.255", "not a subnet mask"},
                                      {"10.9.8.255", "255.255.255.0", "broadcast address"},
                                      {"010.9.8.8", "255.255.255.0", ""}};
    for (const auto &[ip, mask, why] : refused) {
        f.ui->IPEdit->setText(ip);
        f.ui->MaskEdit->setText(mask);
        f.SaveBitBtnClick();
        EXPECT_TRUE(hooks.errors.last().startsWith("Some of network parameters is not correct?"));
        EXPECT_TRUE(hooks.errors.last().contains(why)) << hooks.errors.last().toStdString();
    }
    EXPECT_EQ(hooks.errors.size(), 6);
    f.ui->IPEdit->setText("10.9.8.7");
    f.ui->MaskEdit->setText("255.255.255.0");

    // The address is in use: No ends the action with "Ready".
    f.ui->ValidCheckBox->setChecked(true);
    hooks.pingResult = 0;
    hooks.answers = {false};
    f.SaveBitBtnClick();
    EXPECT_TRUE(
        hooks.questions.value(1).startsWith("IP address is already assigned to other equipement!"));
    EXPECT_EQ(Status(f), "Ready");

    // A program that took the relay's port after the search gets probes, no
    // setup, and the user hears why.
    QUdpSocket squatter;
    ASSERT_TRUE(squatter.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
    const int port = squatter.localPort();
    qvudps_set_proxy("127.0.0.1", port, "Mvx-Config");
    kelvo::ui::SetSetupRoute("127.0.0.1", port, false);
    f.ui->ValidCheckBox->setChecked(false);
    f.SaveBitBtnClick();
    EXPECT_EQ(hooks.errors.value(6),
              QString("No relay at 127.0.0.1:%1: nothing there answers as kelvo-relay; start "
                      "kelvo-relay (systemctl start kelvo-relay; where systemd does not run, run "
                      "kelvo-relay in a terminal).\r\n\r\nNothing was sent.")
                  .arg(port));
    while (squatter.hasPendingDatagrams())
        EXPECT_EQ(squatter.receiveDatagram().data().at(0), 3) << "a probe, nothing else";

    EXPECT_EQ(std::memcmp(&m, &original, sizeof m), 0);
    EXPECT_FALSE(f.SetupTimer->isActive());
    EXPECT_FALSE(f.settingsApplied);
}

TEST_F(Dialogs, NumberFieldsIgnoreADecimalCommaLocale) {
    struct Locale {
        std::string previous = setlocale(LC_ALL, nullptr);
        bool active = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        Locale() {
            if (active)
                QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        }
        ~Locale() {
            setlocale(LC_ALL, previous.c_str());
            QLocale::setDefault(QLocale::system());
        }
    } comma;
    if (!comma.active)
        GTEST_SKIP() << "no decimal-comma locale installed";
    qvudps_module m = Record();
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    EXPECT_EQ(f.ui->PortEdit->text(), "10001"); // not "10.001"
    EXPECT_EQ(f.ui->DeviceEdit->text(), "Serial converter (7)");
    f.ui->ValidCheckBox->setChecked(false);
    f.ui->PortEdit->setText("8080");
    f.SaveBitBtnClick();
    EXPECT_EQ(m.port, 8080);
}

TEST_F(Dialogs, ApplyWritesTheRecordAndCancelledCredentialsSendNothing) {
    qvudps_module m = Record();
    m.setup_auth_required = 1;
    const qvudps_module original = m;
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    f.ui->ValidCheckBox->setChecked(false);
    // 32 ASCII bytes and a two-byte character that would cross the limit.
    f.ui->NameEdit->setText(QString(32, 'n') + QString::fromUtf8("\xC3\xA9xyz"));
    f.ui->IPEdit->setText("10.9.8.70");

    hooks.dialogs.push_back([](QDialog &) { return int(QDialog::Rejected); });
    f.SaveBitBtnClick();
    EXPECT_EQ(hooks.dialogTitles, QStringList{"Authorization"});
    EXPECT_EQ(std::memcmp(&m, &original, sizeof m), 0);
    EXPECT_FALSE(f.SetupTimer->isActive());

    // With the address test on, nothing claims to be sending while the
    // password is still asked for.
    f.ui->ValidCheckBox->setChecked(true);
    hooks.answers = {true}; // outside the PC's network: go on
    QString whileAsked;
    hooks.dialogs.push_back([&](QDialog &) {
        whileAsked = Status(f);
        return int(QDialog::Accepted);
    });
    f.SaveBitBtnClick();
    EXPECT_FALSE(whileAsked.contains("Sending")) << whileAsked.toStdString();
    EXPECT_TRUE(Status(f).startsWith("Sending new settings...")) << Status(f).toStdString();
    EXPECT_STREQ(m.ip, "10.9.8.70");
    EXPECT_EQ(std::strlen(m.name), 32u);
    EXPECT_EQ(std::string(m.name), std::string(32, 'n'));
    ASSERT_TRUE(f.SetupTimer->isActive());
    // The library ends a setup of an unknown device at once; the dialog
    // closes as applied.
    ASSERT_TRUE(WaitFor([&f] { return f.settingsApplied; }, 5000));
    EXPECT_EQ(f.result(), QDialog::Accepted);
}

TEST_F(Dialogs, AnUntouchedNameStaysByteForByte) {
    qvudps_module m = Record();
    std::strcpy(m.name, "Boiler room, second floor, cabinet 7\xff");
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    f.ui->ValidCheckBox->setChecked(false);
    f.ui->IPEdit->setText("10.9.8.70");
    f.SaveBitBtnClick();
    EXPECT_STREQ(m.ip, "10.9.8.70");
    EXPECT_STREQ(m.name, "Boiler room, second floor, cabinet 7\xff");
    ASSERT_TRUE(WaitFor([&f] { return f.settingsApplied; }, 5000));
}

TEST_F(Dialogs, DhcpSkipsTheChecksAndAnUnusablePingPausesWithoutFreezing) {
    qvudps_module m = Record();
    m.dhcp_supported = m.dhcp_enabled = 1;
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    hooks.pingResult = 0; // would ask, if it were asked
    f.SaveBitBtnClick();
    EXPECT_TRUE(hooks.questions.isEmpty());
    ASSERT_TRUE(WaitFor([&f] { return f.settingsApplied; }, 5000));

    qvudps_module n = Record();
    TDetailForm g(nullptr, &n, &spinner);
    g.show();
    hooks.pingResult = -1;
    g.ui->IPEdit->setText("10.9.8.71");
    g.SaveBitBtnClick();
    EXPECT_EQ(Status(g), "Testing ping failed. Sending new settings...");
    EXPECT_FALSE(g.ui->SaveBitBtn->isEnabled());
    // The window keeps handling events while it waits.
    bool ticked = false;
    QTimer::singleShot(300, [&ticked] { ticked = true; });
    EXPECT_TRUE(WaitFor([&ticked] { return ticked; }, 2000));
    EXPECT_STREQ(n.ip, "10.9.8.7");
    ASSERT_TRUE(WaitFor([&n] { return std::strcmp(n.ip, "10.9.8.71") == 0; }, 8000));
    EXPECT_TRUE(g.ui->SaveBitBtn->isEnabled());
    EXPECT_TRUE(WaitFor([&g] { return g.settingsApplied; }, 5000));
}

TEST_F(Dialogs, DefaultsButtonAsksAndSetsTheFlag) {
    qvudps_module m = Record();
    m.defaults_supported = 1;
    TDetailForm f(nullptr, &m, &spinner);
    f.show();
    f.ui->IPEdit->setText("10.9.8.99");
    hooks.answers = {false, true};
    f.DefaultsBitBtnClick();
    EXPECT_EQ(m.load_defaults, 0);
    f.DefaultsBitBtnClick();
    EXPECT_EQ(hooks.questions, (QStringList{"Are you sure to set default values?",
                                            "Are you sure to set default values?"}));
    EXPECT_EQ(m.load_defaults, 1);
    // The edited values are not taken on this path.
    EXPECT_STREQ(m.ip, "10.9.8.7");
    EXPECT_TRUE(f.SetupTimer->isActive());
    EXPECT_TRUE(WaitFor([&f] { return f.settingsApplied; }, 5000));
}

TEST_F(Dialogs, ConfirmationShowsTheAddressInColour) {
    kelvo::ui::TConfirmForm c(nullptr, "192.168.5.20", "192.168.1.X");
    EXPECT_EQ(c.windowTitle(), "Confirm");
    // The text fills the dialog down to its buttons.
    c.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&c));
    EXPECT_LT(c.height() - c.ui->RichEdit1->height() - c.ui->YesButton->height(), 50);
    EXPECT_GE(c.ui->RichEdit1->height(), c.ui->RichEdit1->document()->size().height());
    QTextDocument *doc = c.ui->RichEdit1->document();
    const QString text = doc->toPlainText();
    auto formatAt = [doc](int pos) {
        QTextCursor cur(doc);
        cur.setPosition(pos + 1);
        return cur.charFormat();
    };
    const int addr = static_cast<int>(text.indexOf("192.168.5.20"));
    const int net = static_cast<int>(text.indexOf("192.168.1.X"));
    EXPECT_EQ(formatAt(addr).fontWeight(), QFont::Bold);
    EXPECT_NE(formatAt(addr).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(addr + 8).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(addr + 11).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(net).fontWeight(), QFont::Bold);
    EXPECT_NE(formatAt(net).foreground().color(), QColor(255, 0, 0));
    EXPECT_NE(formatAt(0).fontWeight(), QFont::Bold);
    EXPECT_TRUE(text.endsWith("Do you want to continue?"));
    QTest::mouseClick(c.ui->YesButton, Qt::LeftButton);
    EXPECT_EQ(c.result(), QDialog::Accepted);
}

TEST_F(Dialogs, CredentialsOnlyForDevicesThatNeedThem) {
    qvudps_module m = Record();
    EXPECT_FALSE(kelvo::ui::AskDeviceCredentials(nullptr, m));
    EXPECT_TRUE(hooks.dialogTitles.isEmpty());
    m.setup_auth_required = 1;
    hooks.dialogs.push_back([](QDialog &d) {
        auto &a = static_cast<kelvo::ui::TAuthForm &>(d);
        EXPECT_EQ(a.ui->PassEdit->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(a.ui->UserEdit->text().isEmpty());
        return int(QDialog::Accepted);
    });
    EXPECT_FALSE(kelvo::ui::AskDeviceCredentials(nullptr, m));
#ifdef __linux__
    // From the first prompt on, no core dump and no other process of the
    // user reads the window's memory.
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), 0);
#endif
    EXPECT_TRUE(kelvo::ui::AskDeviceCredentials(nullptr, m)); // no answer: cancelled
    // Devices of the program's own broadcast search get no password at all.
    kelvo::ui::SetSetupRoute("127.0.0.1", relay->relay_port(), true);
    hooks.dialogTitles.clear();
    EXPECT_TRUE(kelvo::ui::AskDeviceCredentials(nullptr, m));
    EXPECT_TRUE(hooks.dialogTitles.isEmpty());
    ASSERT_EQ(hooks.errors.size(), 1);
    EXPECT_TRUE(hooks.errors[0].contains("no password is sent")) << hooks.errors[0].toStdString();
}

TEST_F(Dialogs, AboutAndTheWindowsOtherLinks) {
    hooks.dialogs.push_back([](QDialog &d) {
        auto &a = static_cast<kelvo::ui::TAboutForm &>(d);
        EXPECT_EQ(a.windowTitle(), "About");
        EXPECT_EQ(a.ui->ProductName->text(), "Mvx-Config");
        EXPECT_EQ(a.ui->Version->text(), "1.0.0");
        EXPECT_TRUE(a.ui->Copyright->text().contains("Marvane"));
        EXPECT_EQ(a.ui->Comments->text(), "Config utility for the original Marvane devices.");
        EXPECT_FALSE(a.ui->ProgramIcon->pixmap().isNull());
        // The copyright line with its build date is not wrapped or cut.
        a.show();
        EXPECT_FALSE(a.ui->Copyright->wordWrap());
        EXPECT_GE(a.ui->Copyright->width(), a.ui->Copyright->sizeHint().width());
        return int(QDialog::Accepted);
    });
    kelvo::ui::MainOptions o;
    o.relayPort = 9; // never searched: the window is not shown
    o.macFilterFile = "/nonexistent/kelvo.filter";
    kelvo::ui::TMainForm w(nullptr, o);
    EXPECT_TRUE(kelvo::ui::InstallMutexHeld());
    EXPECT_EQ(w.ui->SearchBitBtn->text(), "  &Find Devices");
    EXPECT_EQ(w.ui->StringGrid->model()->headerData(2, Qt::Horizontal).toString(), "* IP");
    EXPECT_EQ(w.ui->StringGrid->RowCount(), 1);
    EXPECT_FALSE(w.ui->LogoImage->pixmap().isNull());
    QTest::mouseClick(w.ui->AboutBitBtn, Qt::LeftButton);
    EXPECT_EQ(hooks.dialogTitles, QStringList{"About"});
    QTest::mouseClick(w.ui->WWWLabel, Qt::LeftButton);
    QTest::mouseClick(w.ui->LogoImage, Qt::LeftButton);
    EXPECT_EQ(hooks.urls,
              (QStringList{"http://www.marvane.example:80", "http://www.marvane.example:80"}));

    // Without a browser the address is shown, to be copied by hand.
    hooks.browserOpens = false;
    QTest::mouseClick(w.ui->WWWLabel, Qt::LeftButton);
    ASSERT_EQ(hooks.errors.size(), 1);
    EXPECT_TRUE(hooks.errors[0].endsWith("http://www.marvane.example:80"));

    // A menu's status tips show only while the pointer is on an entry, and
    // a screen reader hears them come and go.
    const QString found = "Searching modules... 3 device(s) found";
    const QStringList heard = Announced([&] {
        w.SetStatus(found);
        w.ui->Loaddefaultvalues1->showStatusText(&w);
        EXPECT_EQ(w.StatusText(), w.ui->Loaddefaultvalues1->statusTip());
        QStatusTipEvent left{QString()};
        QApplication::sendEvent(&w, &left);
    });
    EXPECT_EQ(w.StatusText(), found);
    EXPECT_EQ(heard, (QStringList{found, w.ui->Loaddefaultvalues1->statusTip(), found}));
}

TEST_F(Dialogs, TerminalOpensModalOnTopOfTheWindowThatAsksAndOnlyOnce) {
    QTcpServer device;
    ASSERT_TRUE(device.listen(QHostAddress::LocalHost, 0));
    qvudps_module d = Record();
    d.tcp_setup_port = device.serverPort();
    QWidget mainWindow;
    TDetailForm g(&mainWindow, &d, &spinner);
    g.show();
    g.ui->IPEdit->setText("127.0.0.1");
    QWidget *owner = nullptr;
    bool modal = false;
    hooks.dialogs.push_back([&](QDialog &terminal) {
        owner = terminal.parentWidget();
        QTimer::singleShot(0, &terminal, [&] {
            modal = QGuiApplication::modalWindow() == terminal.windowHandle();
            // Asking again while it is open opens no second terminal.
            kelvo::ui::OpenTcpSetup(&mainWindow, "127.0.0.1", device.serverPort());
            terminal.reject();
        });
        return terminal.exec();
    });
    QTest::mouseClick(g.ui->TCPSetupButton, Qt::LeftButton);
    EXPECT_EQ(owner, &g);
    EXPECT_TRUE(modal);
    ASSERT_EQ(hooks.dialogTitles.size(), 1);
    EXPECT_TRUE(hooks.dialogTitles[0].startsWith("TCP Setup - 127.0.0.1:"));
}

TEST_F(Dialogs, GridAndPicturesFollowThePaletteTheScreenAndTheCellWidth) {
    const QPalette normal = QApplication::palette();
    const QPalette dark = DarkPalette();
    QApplication::setPalette(dark);
    kelvo::ui::MainOptions o;
    o.relayPort = 9; // never searched
    o.macFilterFile = "/nonexistent/kelvo.filter";
    auto w = std::make_unique<kelvo::ui::TMainForm>(nullptr, o);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    kelvo::ui::TDeviceGrid *grid = w->ui->StringGrid;
    const QRect empty = grid->visualRect(grid->model()->index(0, 1));
    EXPECT_EQ(grid->viewport()->grab().toImage().pixelColor(empty.center()),
              dark.color(QPalette::Base));
    // The new-device tint is a dark one on a dark desktop.
    const QColor mark = kelvo::ui::NewDeviceColor(dark);
    EXPECT_NE(mark, dark.color(QPalette::Base));
    EXPECT_LT(mark.lightness(), 100);
    // The logo: sharp at twice the density, its lettering light on the dark
    // window, and the window shows the one for its palette.
    const QPixmap logo = kelvo::ui::LoadBitmapResource("USER_LOGO", dark, 2.0);
    EXPECT_EQ(logo.size(), QSize(400, 112));
    EXPECT_EQ(logo.deviceIndependentSize(), QSizeF(200, 56));
    const QImage lettering = logo.toImage();
    int light = 0;
    for (int y = 4; y < 72; ++y)
        for (int x = 120; x < 400; ++x)
            light += lettering.pixelColor(x, y).alpha() > 200 &&
                     lettering.pixelColor(x, y).lightness() > 160;
    EXPECT_GT(light, 100);
    EXPECT_EQ(w->ui->LogoImage->pixmap().toImage(),
              kelvo::ui::LoadBitmapResource("USER_LOGO", dark, w->devicePixelRatioF()).toImage());
    QApplication::setPalette(normal);

    // A text too long for its cell: the tool tip holds all of it.
    qvudps_module shown = Record();
    std::snprintf(shown.name, sizeof shown.name, "A name much longer than its narrow column");
    w->deviceModel->DeviceTable[0] = {0, &shown};
    w->deviceModel->deviceCount = 1;
    w->deviceModel->FillDeviceGrid();
    grid->setColumnWidth(1, 60);
    const auto hintAt = [grid](int column) {
        return grid->StringGridHint(grid->visualRect(grid->model()->index(0, column)).center());
    };
    EXPECT_EQ(hintAt(1), QString(shown.name));
    EXPECT_EQ(hintAt(4), grid->toolTip());
    w->deviceModel->ClearDeviceGrid();

    // The window comes back where the user left it, sorted as it was left,
    // with the column widths the user gave.
    w->setGeometry(QRect(40, 50, 900, 500));
    const QRect left = w->geometry();
    grid->StringGridMouseDown(Qt::LeftButton, 0, 3, QPoint());
    grid->StringGridMouseDown(Qt::LeftButton, 0, 3, QPoint());
    grid->setColumnWidth(1, 173);
    w->close();
    w.reset();
    kelvo::ui::TMainForm again(nullptr, o);
    EXPECT_EQ(again.geometry(), left);
    EXPECT_EQ(again.deviceModel->sortColumn, 3);
    EXPECT_TRUE(again.deviceModel->sortDescending);
    EXPECT_TRUE(
        again.ui->StringGrid->model()->headerData(3, Qt::Horizontal).toString().startsWith("* "));
    EXPECT_EQ(again.ui->StringGrid->columnWidth(1), 173);
    // So does the file choosers' folder.
    QTemporaryDir folder;
    kelvo::ui::RememberFileDialogFolder(folder.filePath("backup.xml"));
    EXPECT_EQ(kelvo::ui::FileDialogStartPath("device.xml"), folder.filePath("device.xml"));
}

TEST_F(Dialogs, EveryTextTheWindowDrawsIsReadable) {
    using kelvo::ui::ContrastRatio;
    const QPalette light = QApplication::style()->standardPalette();
    ASSERT_GT(light.color(QPalette::Base).lightness(), 200);
    for (const QPalette &palette : {light, DarkPalette()}) {
        // Every cell the grid paints itself: plain, new or changed, selected,
        // links, offline.
        for (int kind = 0; kind < 16; ++kind) {
            const bool current = (kind & 1) != 0, newMark = (kind & 2) != 0, link = (kind & 4) != 0;
            const bool offline = (kind & 8) != 0;
            const auto c = kelvo::ui::GridCellColors(palette, current, newMark, link, offline);
            EXPECT_GE(ContrastRatio(c.text, c.background), kelvo::ui::kMinTextContrast)
                << "dark " << (&palette != &light) << " kind " << kind;
        }
        EXPECT_GE(
            ContrastRatio(kelvo::ui::WebSiteLinkColor(palette), palette.color(QPalette::Window)),
            kelvo::ui::kMinTextContrast);
        // The filter field's text and its hint.
        QApplication::setPalette(palette);
        kelvo::ui::MainOptions o;
        o.relayPort = 9; // never searched
        o.macFilterFile = "/nonexistent/kelvo.filter";
        kelvo::ui::TMainForm w(nullptr, o);
        const QPalette field = w.ui->FilterEdit->palette();
        for (const auto role : {QPalette::Text, QPalette::PlaceholderText})
            EXPECT_GE(ContrastRatio(field.color(role), field.color(QPalette::Base)),
                      kelvo::ui::kMinTextContrast)
                << "dark " << (&palette != &light) << " role " << role;
    }
    QApplication::setPalette(light);
    // The designed link colour stays where it is readable.
    EXPECT_EQ(kelvo::ui::GridCellColors(DarkPalette(), true, false, true).text,
              QColor(166, 202, 240));
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
}

TEST_F(Dialogs, EveryControlHasAnAccessibleName) {
    kelvo::ui::MainOptions o;
    o.relayPort = 9;
    o.macFilterFile = "/nonexistent/kelvo.filter";
    kelvo::ui::TMainForm w(nullptr, o);
    qvudps_module d = Record();
    TDetailForm detail(&w, &d, &spinner);
    kelvo::ui::TAuthForm auth(&w);
    kelvo::ui::TConfirmForm confirm(&w, "192.168.5.20", "192.168.1.X");
    kelvo::ui::TAboutForm about(&w, "Mvx-Config", "1.0.0", "Marvane", "c");
    TTelnetForm terminal(&w, 0);
    for (QWidget *form :
         std::initializer_list<QWidget *>{&w, &detail, &auth, &confirm, &about, &terminal}) {
        for (QWidget *c : form->findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(c) ||
                                 qobject_cast<QLineEdit *>(c) || qobject_cast<QLabel *>(c) ||
                                 qobject_cast<QAbstractScrollArea *>(c);
            // A value that is empty (no gateway) has nothing to read.
            const auto *value = qobject_cast<QLabel *>(c);
            if (value && value->text().isEmpty() && value->pixmap().isNull())
                continue;
            if (control && !c->objectName().isEmpty() && !c->objectName().startsWith("qt_")) {
                EXPECT_FALSE(AccessibleName(c).isEmpty())
                    << form->objectName().toStdString() << "/" << c->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(detail.ui->IPEdit->accessibleName(), "IP address");
    EXPECT_EQ(detail.ui->SaveBitBtn->accessibleName(), "Apply changes");
    EXPECT_EQ(w.ui->FilterEdit->accessibleName(), "Filter devices");
    EXPECT_TRUE(w.ui->FilterEdit->toolTip().contains("Ctrl+F"));
    // Containers are not announced by their designer's names.
    EXPECT_EQ(AccessibleName(about.ui->Panel1), "");

    // Values read as their values, whatever they become, their captions being
    // their labels; the adapter drop-down is labelled too.
    const std::pair<QLabel *, QWidget *> captioned[] = {
        {w.ui->LIPCaption, w.ui->LIPLabel},
        {w.ui->LNetmaskCaption, w.ui->LNetmaskLabel},
        {w.ui->LGatewayCaption, w.ui->LGatewayLabel},
        {w.ui->_VersionLabel, w.ui->VersionLabel},
        {w.findChild<QLabel *>("AdapterCaption"), w.AdapterComboBox}};
    for (const auto &[caption, value] : captioned) {
        ASSERT_TRUE(caption);
        if (auto *label = qobject_cast<QLabel *>(value)) {
            label->setText("10.1.2.3");
            EXPECT_EQ(AccessibleName(label), "10.1.2.3") << caption->text().toStdString();
        }
        const auto labels =
            QAccessible::queryAccessibleInterface(value)->relations(QAccessible::Label);
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [caption](const auto &r) {
            return r.first->object() == caption;
        })) << caption->text().toStdString();
    }
    // Qt's Linux bridge names a drop-down by its current choice and leaves the
    // caption to the label relation checked above; elsewhere the caption is
    // the name. An empty list is named by its caption everywhere.
    const QString choice = w.AdapterComboBox->currentText();
#ifdef Q_OS_UNIX
    EXPECT_EQ(AccessibleName(w.AdapterComboBox), choice.isEmpty() ? "Adapter" : choice);
#else
    EXPECT_EQ(AccessibleName(w.AdapterComboBox), "Adapter");
#endif

    // The terminal's buttons say which macro they send and by which keys;
    // Tab runs along each macro line: text, HEX, Send.
    for (int i = 1; i <= 4; ++i) {
        auto *send = terminal.findChild<QWidget *>(QString("Send%1Button").arg(i));
        EXPECT_EQ(AccessibleName(send), QString("Send macro %1").arg(i));
        EXPECT_TRUE(send->accessibleDescription().contains(QString("Alt+%1").arg(i)));
        auto *edit = terminal.findChild<QWidget *>(QString("Macro%1Edit").arg(i));
        EXPECT_EQ(edit->nextInFocusChain(),
                  terminal.findChild<QWidget *>(QString("Hex%1CheckBox").arg(i)));
        EXPECT_EQ(edit->nextInFocusChain()->nextInFocusChain(), send);
    }
}
