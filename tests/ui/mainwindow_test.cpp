// The main window against a simulated fleet behind a real relay on loopback.
#include "authform.h"
#include "detailform.h"
#include "devicelistformat.h"
#include "hostmacfilter.h"
#include "ui_authform.h"
#include "ui_detailform.h"
#include "ui_mainform.h"
#include "uitest_support.h"
#include "usersettings.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QNetworkDatagram>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <regex>

using namespace kelvo::test;
using kelvo::devsim::DeviceConfig;
using kelvo::ui::TMainForm;

namespace {

// Six devices of the mixed fleet (types 2, 20, 7, 31/26, 13, 31/24 with
// authorised setup and HTTP credentials admin/secret) and one extended device
// of type 34.
std::vector<DeviceConfig> Devices() {
    auto d = kelvo::devsim::mixed_devices(6, true);
    DeviceConfig x = d[3];
    x.mac = "02:4B:56:00:00:22";
    x.ip = "127.0.10.34";
    x.ext_type = 34;
    x.type_name = "Lab data logger";
    x.name = "Logger";
    d.push_back(x);
    return d;
}

// Right-clicks grid row `row` (1 = first device) and returns the menu's
// action states in the order detail, web, TCP, download, upload, defaults.
QList<bool> MenuAt(TMainForm &w, int row) {
    QWidget *area = w.ui->StringGrid->viewport();
    const QRect cell = w.ui->StringGrid->visualRect(w.ui->StringGrid->model()->index(row - 1, 1));
    QTest::mouseClick(area, Qt::RightButton, {}, cell.center());
    EXPECT_TRUE(WaitFor([&w] { return w.PopupMenu->isVisible(); }, 2000));
    QList<bool> states{w.ui->EditParameters1->isEnabled(), w.ui->OpeninWebbrowser1->isEnabled(),
                       w.ui->OpenTCPsetup1->isEnabled(),   w.ui->DownloadPopupMenu->isEnabled(),
                       w.ui->UploadPopupMenu->isEnabled(), w.ui->Loaddefaultvalues1->isEnabled()};
    w.PopupMenu->close();
    return states;
}

void ClickHeader(TMainForm &w, int column) {
    QHeaderView *h = w.ui->StringGrid->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
}

// A device's documents carry its clock; two fetches a second apart differ
// only there.
std::string WithoutClock(std::string text) {
    static const std::regex clock("<Time>[0-9:]*</Time>|<Date>[0-9.]*</Date>");
    return std::regex_replace(text, clock, "");
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lab.ok()) << lab.error(); }
    ScriptedHooks hooks;
    Lab lab{Devices()};
};

} // namespace

TEST_F(MainWindow, FirstSearchFillsTheGridAndEveryColumnSorts) {
    TMainForm w(nullptr, WindowOptions(lab));
    EXPECT_EQ(w.StatusText(), "Loading application...");
    EXPECT_EQ(w.windowTitle(), "Mvx-Config 1.0.0 for Marvane products (www.marvane.example)");
    ASSERT_TRUE(WaitForSearch(w));
    EXPECT_EQ(w.StatusText(), "Searching modules... 7 device(s) found");
    ASSERT_EQ(w.deviceModel->deviceCount, 7);
    ASSERT_EQ(w.ui->StringGrid->RowCount(), 7);
    QStringList macs = ColumnTexts(w, 0);
    for (std::size_t i = 0; i < lab.fleet().size(); ++i)
        EXPECT_TRUE(macs.contains(Mac(lab.fleet(), i))) << i;
    // Names came over HTTP or in the reply; the converter has none.
    const int converter = RowOf(w, Mac(lab.fleet(), 2));
    ASSERT_GT(converter, 0);
    EXPECT_EQ(w.ui->StringGrid->CellText(converter, 1), "");
    EXPECT_EQ(w.ui->StringGrid->CellText(converter, 4), "10001");
    EXPECT_EQ(w.ui->StringGrid->CellText(converter, 5), "TCP setup=Y, TEA=Y, NVT=Y");
    EXPECT_EQ(w.ui->StringGrid->CellText(RowOf(w, Mac(lab.fleet(), 0)), 1), "Thermometer 1");

    // Sorted by IP at start; each header click re-sorts and moves the mark.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (int column : {2, 0, 1, 3, 4}) {
        if (column != 2)
            ClickHeader(w, column);
        EXPECT_EQ(w.deviceModel->sortColumn, column);
        EXPECT_TRUE(w.ui->StringGrid->model()
                        ->headerData(column, Qt::Horizontal)
                        .toString()
                        .startsWith("* "));
        ASSERT_EQ(w.ui->StringGrid->RowCount(), 7);
        QStringList keys;
        for (int r = 0; r < w.deviceModel->deviceCount; ++r) {
            EXPECT_EQ(w.ui->StringGrid->CellText(r + 1, 0),
                      QString(w.deviceModel->DeviceTable[r].record->mac));
            keys << kelvo::ui::SortKey(*w.deviceModel->DeviceTable[r].record, column);
        }
        for (int r = 1; r < keys.size(); ++r)
            EXPECT_LE(collator.compare(keys[r - 1], keys[r]), 0) << column << " row " << r;
    }
    // Port order is numeric, not textual.
    const QStringList ports = ColumnTexts(w, 4);
    for (int r = 1; r < ports.size(); ++r)
        EXPECT_LE(ports[r - 1].toInt(), ports[r].toInt());
    // The parameters header sorts nothing.
    const QStringList before = ColumnTexts(w, 0);
    ClickHeader(w, 5);
    EXPECT_EQ(w.deviceModel->sortColumn, 4);
    EXPECT_EQ(ColumnTexts(w, 0), before);

    // A click during a search changes nothing; nor does a header click.
    w.SearchBitBtnClick();
    ASSERT_TRUE(w.searching);
    w.SearchBitBtnClick();
    ClickHeader(w, 0);
    EXPECT_EQ(w.deviceModel->sortColumn, 4);
    ASSERT_TRUE(WaitForSearch(w));
    EXPECT_EQ(w.deviceModel->deviceCount, 7);
}

TEST_F(MainWindow, KeyboardReachesEveryActionAndTheSelectionStays) {
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    kelvo::ui::TDeviceGrid *grid = w.ui->StringGrid;
    const QString mac = Mac(lab.fleet(), 3); // reports its own setup port
    w.ui->StringGrid->SetCurrentRow(RowOf(w, mac));
    grid->setFocus();

    // Sorting without a mouse: Ctrl+1 to Ctrl+5, also under "Sort by" in the
    // menu; again reverses, and the device stays current.
    QTest::keyClick(grid, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(w.deviceModel->sortColumn, 3);
    EXPECT_FALSE(w.deviceModel->sortDescending);
    QTest::keyClick(grid, Qt::Key_4, Qt::ControlModifier);
    EXPECT_TRUE(w.deviceModel->sortDescending);
    EXPECT_TRUE(w.SortByMenu->actions().value(3)->isChecked());
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), RowOf(w, mac));
    EXPECT_TRUE(w.PopupMenu->actions().contains(w.SortByMenu->menuAction()));
    QTest::keyClick(grid, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(w.deviceModel->sortColumn, 2);

    // The menu for the current row, from the Menu key and from Shift+F10.
    for (const auto &[key, mods] :
         {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        QTest::keyClick(grid, key, mods);
        ASSERT_TRUE(WaitFor([&w] { return w.PopupMenu->isVisible(); }, 2000)) << key;
        EXPECT_EQ(w.selectedDevice, RowOf(w, mac) - 1);
        EXPECT_EQ(w.ui->OpenTCPsetup1->text(),
                  QString("Open &TCP Setup (port %1)").arg(lab.fleet().device(3).setup_port));
        w.PopupMenu->close();
    }

    // Ctrl+C: the selected rows as tab-separated text.
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    const QStringList cells = QGuiApplication::clipboard()->text().split('\t');
    ASSERT_EQ(cells.size(), 6);
    EXPECT_EQ(cells[0], mac);
    EXPECT_TRUE(cells[5].endsWith('\n'));

    // A second click on the sort column reverses it; the device stays
    // selected through every sort and search.
    ClickHeader(w, 2);
    EXPECT_TRUE(w.deviceModel->sortDescending);
    EXPECT_EQ(grid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    const QStringList ips = ColumnTexts(w, 2);
    for (int r = 1; r < ips.size(); ++r)
        EXPECT_GE(kelvo::ui::SortKey(*w.deviceModel->DeviceTable[r - 1].record, 2),
                  kelvo::ui::SortKey(*w.deviceModel->DeviceTable[r].record, 2));
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), RowOf(w, mac));
    QTest::keyClick(grid, Qt::Key_F5);
    EXPECT_TRUE(w.searching);
    ASSERT_TRUE(WaitForSearch(w));
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), RowOf(w, mac));
    ClickHeader(w, 0);
    EXPECT_FALSE(w.deviceModel->sortDescending);
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), RowOf(w, mac));

    // Tab leaves the grid for the window's next control.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), grid);
}

TEST_F(MainWindow, FilterFieldNarrowsTheListAndActionsKeepToTheRowsShown) {
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(w.ui->StringGrid, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), w.ui->FilterEdit);
    const QString logger = "02:4B:56:00:00:22";
    // By MAC, name, IP or type, without regard to case.
    for (const char *text : {"4b:56:00:00:22", "LOGGER", "127.0.10.34", "lab data"}) {
        w.ui->FilterEdit->setText(text);
        EXPECT_EQ(ColumnTexts(w, 0), QStringList{logger}) << text;
        EXPECT_EQ(w.FilterCountLabel->text(), "Showing 1 of 7 devices");
        EXPECT_TRUE(w.FilterCountLabel->isVisibleTo(&w));
    }
    // The row shown is the device the actions work on.
    EXPECT_EQ(MenuAt(w, 1).first(), true);
    EXPECT_EQ(QString(w.deviceModel->DeviceTable[w.selectedDevice].record->mac), logger);
    QString opened;
    hooks.dialogs.push_back([&opened](QDialog &d) {
        d.show();
        opened = static_cast<kelvo::ui::TDetailForm &>(d).ui->MACEdit->text();
        return int(QDialog::Rejected);
    });
    QTest::keyClick(w.ui->StringGrid, Qt::Key_Return);
    EXPECT_EQ(opened, logger);
    // It keeps narrowing the rows of a new search.
    ASSERT_TRUE(SearchAgain(w));
    EXPECT_EQ(ColumnTexts(w, 0), QStringList{logger});
    EXPECT_EQ(w.FilterCountLabel->text(), "Showing 1 of 7 devices");
    w.ui->FilterEdit->setText("no such device");
    EXPECT_EQ(w.ui->StringGrid->RowCount(), 0);
    EXPECT_EQ(w.FilterCountLabel->text(), "Showing 0 of 7 devices");
    // Escape empties it and every device is back.
    w.ui->FilterEdit->setFocus();
    QTest::keyClick(w.ui->FilterEdit, Qt::Key_Escape);
    EXPECT_TRUE(w.ui->FilterEdit->text().isEmpty());
    EXPECT_EQ(w.ui->StringGrid->RowCount(), 7);
    EXPECT_FALSE(w.FilterCountLabel->isVisibleTo(&w));
}

TEST_F(MainWindow, MenuTerminalIsModalAndNamesTheSetupPort) {
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    const int row = RowOf(w, Mac(lab.fleet(), 3));
    ASSERT_TRUE(MenuAt(w, row)[2]);
    const kelvo::devsim::DeviceState box = lab.fleet().device(3);
    QString caption;
    bool modal = false;
    hooks.dialogs.push_back([&](QDialog &terminal) {
        QTimer::singleShot(0, &terminal, [&] {
            modal = QGuiApplication::modalWindow() == terminal.windowHandle();
            WaitFor([&] { return !terminal.windowTitle().endsWith("(Connecting)"); }, 5000);
            caption = terminal.windowTitle();
            terminal.reject();
        });
        return terminal.exec();
    });
    w.ui->OpenTCPsetup1->trigger();
    EXPECT_TRUE(modal);
    EXPECT_EQ(caption, QString("TCP Setup - %1:%2")
                           .arg(QString::fromStdString(box.config.ip))
                           .arg(box.setup_port));
}

TEST_F(MainWindow, ASetupTheDeviceDidNotTakeIsReported) {
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    const QString mac = Mac(lab.fleet(), 5); // authorised setup, admin/secret
    ASSERT_TRUE(MenuAt(w, RowOf(w, mac))[0]);
    hooks.dialogs.push_back([&](QDialog &d) {
        auto &form = static_cast<kelvo::ui::TDetailForm &>(d);
        form.show();
        form.ui->PortEdit->setText("8123");
        form.ui->ValidCheckBox->setChecked(false);
        QTimer::singleShot(30000, &form, &QDialog::reject); // never hang
        QTest::mouseClick(form.ui->SaveBitBtn, Qt::LeftButton);
        return form.exec();
    });
    hooks.dialogs.push_back(SignIn("admin", "wrong"));
    w.ui->EditParameters1->trigger();
    ASSERT_TRUE(WaitFor([&w] { return w.searching; }, 15000));
    ASSERT_TRUE(WaitFor([&w] { return !w.searching; }, 30000));
    ASSERT_EQ(hooks.errors.size(), 1);
    EXPECT_EQ(hooks.errors[0],
              "The device " + mac + " did not take the new settings (port). Check the password.");
    EXPECT_EQ(lab.fleet().device(5).setups_applied, 0u);
}

TEST_F(MainWindow, RowsAppearWhileTheSearchRunsAndDevicesLeftOutAreCounted) {
    TMainForm w(nullptr, WindowOptions(lab));
    // A table smaller than the fleet, set before the first search starts.
    ASSERT_EQ(qvudps_set_capacity(5), 0);
    w.show();
    ASSERT_TRUE(WaitFor([&w] { return w.searching && w.deviceModel->deviceCount > 0; }, 30000))
        << "rows are listed before the search ends";
    EXPECT_EQ(w.ui->StringGrid->CellText(1, 0), QString(w.deviceModel->DeviceTable[0].record->mac));
    ASSERT_TRUE(WaitFor([&w] { return !w.searching; }, 30000));
    EXPECT_EQ(w.StatusText(),
              "Searching modules... 5 device(s) found, 2 more answered but did not fit the list");
    EXPECT_EQ(w.ui->StringGrid->RowCount(), 5);
    EXPECT_EQ(qvudps_set_capacity(kelvo::ui::kMaxDevices), 0);
}

TEST_F(MainWindow, MenuEntriesFollowTheDeviceAndTheFilterHidesDevices) {
    QTemporaryDir dir;
    const QString filter = dir.filePath("kelvo.filter");
    {
        QFile f(filter);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // The thermometer alone, written in lower case.
        f.write(("# lab filter\n" + Mac(lab.fleet(), 0).toLower() + "\n").toUtf8());
    }
    kelvo::host::MacFilter.clear();
    TMainForm w(nullptr, WindowOptions(lab, filter));
    ASSERT_TRUE(WaitForSearch(w));
    EXPECT_EQ(w.StatusText(), "Searching modules... 6 device(s) found");
    EXPECT_EQ(RowOf(w, Mac(lab.fleet(), 0)), -1);

    using L = QList<bool>;
    // Type 20: web, defaults, TCP; no configuration files.
    EXPECT_EQ(MenuAt(w, RowOf(w, Mac(lab.fleet(), 1))), (L{true, true, true, false, false, true}));
    // Type 7: no web, no files, no defaults.
    EXPECT_EQ(MenuAt(w, RowOf(w, Mac(lab.fleet(), 2))),
              (L{true, false, true, false, false, false}));
    // Type 34 (extended): files allowed.
    EXPECT_EQ(MenuAt(w, RowOf(w, "02:4B:56:00:00:22")), (L{true, true, true, true, true, true}));
    EXPECT_EQ(w.selectedDevice, RowOf(w, "02:4B:56:00:00:22") - 1);

    // The IP cell of a device with a web page opens it at its web port; the
    // converter has none, so its IP cell is plain text.
    auto clickCell = [&w](int row, int column) {
        const QRect cell =
            w.ui->StringGrid->visualRect(w.ui->StringGrid->model()->index(row - 1, column));
        QTest::mouseMove(w.ui->StringGrid->viewport(), cell.center());
        QTest::mouseClick(w.ui->StringGrid->viewport(), Qt::LeftButton, {}, cell.center());
    };
    const kelvo::devsim::DeviceState box = lab.fleet().device(1);
    clickCell(RowOf(w, Mac(lab.fleet(), 1)), 2);
    EXPECT_EQ(
        hooks.urls,
        QStringList{
            QString("http://%1:%2").arg(QString::fromStdString(box.config.ip)).arg(box.http_port)});
    EXPECT_EQ(w.StatusText(), "Ready");
    clickCell(RowOf(w, Mac(lab.fleet(), 2)), 2);
    EXPECT_EQ(hooks.urls.size(), 1);
    // Enter on the current row opens the detail dialog.
    QTest::keyClick(w.ui->StringGrid, Qt::Key_Return);
    EXPECT_EQ(hooks.dialogTitles, QStringList{"Details"});

    // Hide everyone: no devices, one empty row, every entry disabled.
    kelvo::host::MacFilter.push_back({0x024B56000000ull, 0x024B56FFFFFFull});
    ASSERT_TRUE(SearchAgain(w));
    EXPECT_EQ(w.StatusText(), "Searching modules... 0 device(s) found");
    EXPECT_EQ(w.ui->StringGrid->RowCount(), 1);
    EXPECT_EQ(MenuAt(w, 1), (L{false, false, false, false, false, false}));
    // A click on the empty row opens nothing.
    QTest::mouseClick(
        w.ui->StringGrid->viewport(), Qt::LeftButton, {},
        w.ui->StringGrid->visualRect(w.ui->StringGrid->model()->index(0, 0)).center());
    EXPECT_EQ(hooks.dialogTitles.size(), 1);
    kelvo::host::MacFilter.clear();
}

TEST_F(MainWindow, DetailDialogAppliesNewSettingsAndTheNextSearchMarksTheDevice) {
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    const QString mac = Mac(lab.fleet(), 0); // thermometer: its name lives on its web server
    const int row = RowOf(w, mac);
    ASSERT_GT(row, 0);

    bool sawApplied = false;
    hooks.dialogs.push_back([&](QDialog &d) {
        auto &form = static_cast<kelvo::ui::TDetailForm &>(d);
        form.show();
        EXPECT_EQ(form.ui->MACEdit->text(), mac);
        EXPECT_EQ(form.ui->IPEdit->text(), "127.0.10.1");
        EXPECT_TRUE(form.ui->DefaultsBitBtn->isEnabled());
        form.ui->NameEdit->setText("Boiler room");
        form.ui->IPEdit->setText("127.0.10.72");
        form.ui->ValidCheckBox->setChecked(false);          // no ping from the test
        QTimer::singleShot(30000, &form, &QDialog::reject); // never hang
        QTest::mouseClick(form.ui->SaveBitBtn, Qt::LeftButton);
        const int rc = form.exec();
        sawApplied = form.settingsApplied;
        return rc;
    });
    // The MAC cell is a link that opens the detail dialog.
    const QRect cell = w.ui->StringGrid->visualRect(w.ui->StringGrid->model()->index(row - 1, 0));
    QTest::mouseMove(w.ui->StringGrid->viewport(), cell.center());
    QTest::mouseClick(w.ui->StringGrid->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(sawApplied);
    EXPECT_TRUE(hooks.errors.isEmpty()) << hooks.errors.join("|").toStdString();

    // The device took the settings...
    EXPECT_TRUE(lab.fleet().wait_log(
        [](const std::string &l) {
            return l.find("\"kind\":\"setup\"") != std::string::npos &&
                   l.find("127.0.10.72") != std::string::npos;
        },
        std::chrono::milliseconds(2000)));
    EXPECT_EQ(lab.fleet().device(0).config.ip, "127.0.10.72");
    // ...and the search that followed shows it, marked as changed.
    ASSERT_TRUE(WaitForSearch(w));
    EXPECT_TRUE(w.StatusText().endsWith(". Settings applied to Boiler room (" + mac +
                                        "); confirmed by a new search"))
        << w.StatusText().toStdString();
    const int moved = RowOf(w, mac);
    ASSERT_GT(moved, 0);
    EXPECT_EQ(w.ui->StringGrid->CellText(moved, 2), "127.0.10.72");
    EXPECT_TRUE(
        WaitFor([&] { return w.ui->StringGrid->CellText(moved, 1) == "Boiler room"; }, 100));
    EXPECT_EQ(w.ui->StringGrid->CellText(moved, kelvo::ui::kStateColumn), "Changed");
    for (int r = 0; r < w.deviceModel->deviceCount; ++r)
        EXPECT_EQ(w.deviceModel->DeviceTable[r].isNew, r == moved - 1 ? 1 : 0) << r;
    // Drawn in the new-device tint unless it is the current row.
    w.ui->StringGrid->SetCurrentRow(moved == 1 ? 2 : 1);
    const QImage grid = w.ui->StringGrid->viewport()->grab().toImage();
    const QRect movedCell =
        w.ui->StringGrid->visualRect(w.ui->StringGrid->model()->index(moved - 1, 3));
    EXPECT_EQ(grid.pixelColor(movedCell.right() - 3, movedCell.center().y()),
              kelvo::ui::NewDeviceColor(w.ui->StringGrid->palette()));
}

TEST_F(MainWindow, DefaultsAskFirstAndUseTheSetupKeyOfAuthorisedDevices) {
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    const QString mac = Mac(lab.fleet(), 5); // authorised setup, admin/secret
    ASSERT_EQ(MenuAt(w, RowOf(w, mac)).last(), true);

    // No: nothing is sent.
    hooks.answers = {false};
    w.ui->Loaddefaultvalues1->trigger();
    EXPECT_EQ(hooks.questions.value(0), "Are you sure to set default values?");
    EXPECT_FALSE(w.DefaultTimer->isActive());

    // Yes, then the credentials: the device takes the restore.
    hooks.answers = {true};
    hooks.dialogs.push_back(SignIn("admin", "secret", [](kelvo::ui::TAuthForm &auth) {
        EXPECT_EQ(auth.windowTitle(), "Authorization");
    }));
    w.ui->Loaddefaultvalues1->trigger();
    ASSERT_TRUE(w.DefaultTimer->isActive());
    EXPECT_TRUE(
        WaitFor([&w] { return w.StatusText().startsWith("Sending default settings... "); }, 2000));
    ASSERT_TRUE(WaitFor([&w] { return w.searching; }, 15000)) << w.StatusText().toStdString();
    ASSERT_TRUE(WaitForSearch(w));
    EXPECT_EQ(lab.fleet().device(5).defaults_loaded, 1u);
    EXPECT_EQ(w.deviceModel->deviceCount, 7);

    // The relay stops and a plain listener takes its port: the signed setup
    // is not sent, and the error names the missing relay.
    lab.stop_relay();
    QUdpSocket squatter;
    ASSERT_TRUE(squatter.bind(QHostAddress::LocalHost, static_cast<quint16>(lab.relay_port()),
                              QUdpSocket::DontShareAddress));
    hooks.answers = {true};
    hooks.dialogs.push_back(SignIn("admin", "secret"));
    w.ui->Loaddefaultvalues1->trigger();
    EXPECT_FALSE(w.DefaultTimer->isActive());
    ASSERT_EQ(hooks.errors.size(), 1);
    EXPECT_TRUE(hooks.errors[0].startsWith(
        QString("No relay at 127.0.0.1:%1: nothing there answers as kelvo-relay")
            .arg(lab.relay_port())))
        << hooks.errors[0].toStdString();
    while (squatter.hasPendingDatagrams())
        EXPECT_EQ(squatter.receiveDatagram().data().at(0), 3) << "a probe, no setup";
    EXPECT_EQ(lab.fleet().device(5).defaults_loaded, 1u);
}

TEST_F(MainWindow, DownloadWritesTheDocumentAndUploadDropsUnknownSensors) {
    QTemporaryDir dir;
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    const QString mac = Mac(lab.fleet(), 0); // thermometer, sensors 301 and 302
    MenuAt(w, RowOf(w, mac));

    hooks.fileName = dir.filePath("thermometer.xml");
    w.ui->DownloadPopupMenu->trigger();
    EXPECT_EQ(hooks.suggestedNames.value(0), "Thermometer 1");
    ASSERT_TRUE(
        WaitFor([&w] { return w.session->GetState() == 0 && !w.XmlTimer->isActive(); }, 10000));
    EXPECT_EQ(w.StatusText(), "Downloading configuration... done");
    QFile saved(hooks.fileName);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray document = saved.readAll();
    EXPECT_EQ(WithoutClock(document.toStdString()),
              WithoutClock(lab.fleet().setup_xml(mac.toStdString())));

    // Upload: one sensor renamed, one the device does not have added.
    QByteArray edited = document;
    const qsizetype senEnd = edited.indexOf("</SenSet>");
    ASSERT_GT(senEnd, 0);
    edited.insert(senEnd, "<Entry><Idx>9</Idx><Name>Ghost</Name><ID>999</ID></Entry>");
    const qsizetype firstName = edited.indexOf("<Name>", edited.indexOf("<SenSet>"));
    edited.insert(firstName + 6, "Cellar ");
    hooks.fileName = dir.filePath("upload.xml");
    {
        QFile f(hooks.fileName);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(edited);
    }
    const std::size_t logFrom = lab.fleet().log_size();
    MenuAt(w, RowOf(w, mac));
    w.ui->UploadPopupMenu->trigger();
    ASSERT_TRUE(
        WaitFor([&w] { return w.StatusText() == "Uploading configuration... done"; }, 10000))
        << w.StatusText().toStdString();
    EXPECT_TRUE(WaitFor([&w] { return w.session->GetState() == 0; }, 2000));
    const std::string now = lab.fleet().setup_xml(mac.toStdString());
    EXPECT_NE(now.find("Cellar "), std::string::npos);
    EXPECT_EQ(now.find("Ghost"), std::string::npos);
    bool posted = false;
    for (const std::string &l : lab.fleet().log()) {
        if (l.find("\"method\":\"POST\"") != std::string::npos) {
            posted = true;
            EXPECT_EQ(l.find("999"), std::string::npos) << l;
        }
    }
    EXPECT_TRUE(posted);
    EXPECT_GT(lab.fleet().log_size(), logFrom);

    // A file that is not a setup document never reaches the device.
    {
        QFile f(hooks.fileName);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // Sensor entries but no closing root element.
        f.write("<Root><SenSet><Entry><ID>301</ID></Entry></SenSet>");
    }
    MenuAt(w, RowOf(w, mac));
    w.ui->UploadPopupMenu->trigger();
    ASSERT_TRUE(WaitFor(
        [&w] { return w.StatusText() == "Uploading configuration... Invalid XML file"; }, 10000))
        << w.StatusText().toStdString();

    // A file that cannot be written is reported, not announced as done.
    hooks.fileName = dir.filePath("missing-folder/thermometer.xml");
    MenuAt(w, RowOf(w, mac));
    w.ui->DownloadPopupMenu->trigger();
    ASSERT_TRUE(
        WaitFor([&w] { return w.session->GetState() == 0 && !w.XmlTimer->isActive(); }, 10000));
    EXPECT_TRUE(w.StatusText().startsWith("Downloading configuration... "))
        << w.StatusText().toStdString();
    EXPECT_NE(w.StatusText(), "Downloading configuration... done");
    EXPECT_FALSE(QFile::exists(hooks.fileName));

    // A link at the chosen name is refused, never followed.
    const QString victim = dir.filePath("victim");
    hooks.fileName = dir.filePath("link.xml");
    ASSERT_TRUE(QFile::link(victim, hooks.fileName));
    w.ui->DownloadPopupMenu->trigger();
    ASSERT_TRUE(
        WaitFor([&w] { return w.session->GetState() == 0 && !w.XmlTimer->isActive(); }, 10000));
    EXPECT_TRUE(w.StatusText().contains("is a symbolic link")) << w.StatusText().toStdString();
    EXPECT_FALSE(QFile::exists(victim));

    // Cancel in the file chooser opens nothing.
    hooks.fileName.clear();
    w.ui->DownloadPopupMenu->trigger();
    EXPECT_EQ(w.session->GetState(), 0);
}

TEST_F(MainWindow, CtrlSSavesTheListAsTheCommandLineFormatsIt) {
    QTemporaryDir dir;
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    std::vector<qvudps_module> list;
    for (int i = 0; i < w.deviceModel->deviceCount; ++i)
        list.push_back(*w.deviceModel->DeviceTable[static_cast<size_t>(i)].record);
    for (const auto format : {kelvo::host::Format::Csv, kelvo::host::Format::Json}) {
        const bool json = format == kelvo::host::Format::Json;
        hooks.fileName = dir.filePath(json ? "fleet.json" : "fleet.csv");
        if (json)
            w.SaveDeviceList1->trigger(); // the menu entry
        else
            QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QFile saved(hooks.fileName);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << hooks.fileName.toStdString();
        EXPECT_EQ(saved.readAll().toStdString(), kelvo::host::FormatDevices(list, format));
    }
    // Nor is the list written through a link.
    hooks.fileName = dir.filePath("link.csv");
    ASSERT_TRUE(QFile::link(dir.filePath("victim.csv"), hooks.fileName));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(hooks.errors.size(), 1);
    EXPECT_TRUE(hooks.errors[0].contains("is a symbolic link")) << hooks.errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("victim.csv")));
    EXPECT_TRUE(w.PopupMenu->actions().contains(w.SaveDeviceList1));
}

TEST_F(MainWindow, UnauthorisedDownloadAsksForCredentialsAndRetries) {
    QTemporaryDir dir;
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    const QString mac = Mac(lab.fleet(), 5); // HTTP admin/secret
    MenuAt(w, RowOf(w, mac));
    hooks.fileName = dir.filePath("secured");
    QStringList seenStatus;
    hooks.dialogs.push_back(
        SignIn("admin", "wrong", [&](kelvo::ui::TAuthForm &) { seenStatus << w.StatusText(); }));
    hooks.dialogs.push_back(SignIn("admin", "secret", [&](kelvo::ui::TAuthForm &auth) {
        seenStatus << w.StatusText();
        EXPECT_TRUE(auth.ui->UserEdit->text().isEmpty());
    }));
    w.ui->DownloadPopupMenu->trigger();
    ASSERT_TRUE(
        WaitFor([&w] { return w.StatusText() == "Downloading configuration... done"; }, 20000))
        << w.StatusText().toStdString();
    EXPECT_TRUE(WaitFor([&w] { return w.session->GetState() == 0; }, 2000));
    EXPECT_EQ(seenStatus, (QStringList{"Downloading configuration... HTTP: Unauthorized",
                                       "Downloading configuration... HTTP: Unauthorized"}));
    EXPECT_EQ(w.session->user, "admin");
    QFile saved(hooks.fileName);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(WithoutClock(saved.readAll().toStdString()),
              WithoutClock(lab.fleet().setup_xml(mac.toStdString())));

    // The credentials stay for the next device.
    MenuAt(w, RowOf(w, "02:4B:56:00:00:22"));
    hooks.fileName = dir.filePath("logger.xml");
    w.ui->DownloadPopupMenu->trigger();
    ASSERT_TRUE(
        WaitFor([&w] { return w.StatusText() == "Downloading configuration... done"; }, 10000));
    EXPECT_EQ(hooks.dialogTitles.size(), 2);

    // Found by the program's own broadcast, which anyone can answer: no
    // prompt, no password, nothing saved.
    kelvo::ui::SetSetupRoute(w.relayAddress.toStdString(), w.relayPort, true);
    MenuAt(w, RowOf(w, mac));
    hooks.fileName = dir.filePath("direct.xml");
    w.ui->DownloadPopupMenu->trigger();
    ASSERT_TRUE(WaitFor([&] { return !hooks.errors.isEmpty(); }, 10000))
        << w.StatusText().toStdString();
    kelvo::ui::SetSetupRoute(w.relayAddress.toStdString(), w.relayPort, false);
    EXPECT_TRUE(hooks.errors.last().contains("no password is sent"));
    EXPECT_EQ(w.StatusText(), "Downloading configuration... HTTP: Unauthorized");
    EXPECT_EQ(hooks.dialogTitles.size(), 2);
    EXPECT_FALSE(QFile::exists(hooks.fileName));
}
