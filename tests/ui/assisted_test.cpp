// The main window as assistive technology and a real network use it: boxes
// toggled by a screen reader's action, devices that answer late, a web
// server mute during the search.
#include "detailform.h"
#include "ui_detailform.h"
#include "ui_mainform.h"
#include "uitest_support.h"
#include "usersettings.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace kelvo::test;
using kelvo::devsim::DeviceConfig;
using kelvo::ui::TMainForm;

// Each box of the detail dialog, changed through a screen reader's toggle
// action and through code: the dialog's fields follow, and the device gets
// what the boxes show.
TEST(AssistedWindow, DetailBoxesActOnTheirStateHoweverItChanges) {
    ScriptedHooks hooks;
    DeviceConfig hub = kelvo::devsim::mixed_devices(4, true)[3]; // every box applies
    hub.filter_ip = "127.0.0.0";
    hub.filter_mask = "255.0.0.0";
    Lab lab({hub});
    ASSERT_TRUE(lab.ok()) << lab.error();
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    ASSERT_EQ(w.deviceModel->deviceCount, 1);
    for (const bool assisted : {true, false}) {
        kelvo::ui::TDetailForm f(&w, w.deviceModel->DeviceTable[0].record, &w.spinnerIndex);
        f.show();
        for (QCheckBox *box :
             {f.ui->DHCPCheckBox, f.ui->TCPCheckBox, f.ui->NVTCheckBox, f.ui->TEACheckBox,
              f.ui->EnableFilterCheckBox, f.ui->ValidCheckBox}) {
            if (assisted)
                QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
                    QAccessibleActionInterface::toggleAction());
            else
                box->setChecked(!box->isChecked());
        }
        const bool dhcp = f.ui->DHCPCheckBox->isChecked(),
                   filter = f.ui->EnableFilterCheckBox->isChecked();
        EXPECT_EQ(dhcp, assisted);
        EXPECT_FALSE(f.ui->ValidCheckBox->isChecked());
        EXPECT_EQ(f.ui->IPEdit->isEnabled(), !dhcp);
        EXPECT_EQ(f.ui->GatewayEdit->isEnabled(), !dhcp);
        EXPECT_EQ(f.ui->DHCPLabelEdit1->isVisibleTo(&f), dhcp);
        EXPECT_EQ(f.ui->TCPSetupButton->isEnabled(), f.ui->TCPCheckBox->isChecked());
        EXPECT_EQ(f.ui->IPFilterEdit->isEnabled(), filter);
        EXPECT_EQ(f.ui->IPMaskFilterLabel->isEnabled(), filter);
        if (filter) {
            f.ui->IPFilterEdit->setText("127.0.0.0");
            f.ui->IPMaskFilterEdit->setText("255.0.0.0");
        } else {
            EXPECT_EQ(f.ui->IPFilterEdit->text(), "0.0.0.0");
        }
        QTest::mouseClick(f.ui->SaveBitBtn, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&f] { return f.settingsApplied; }, 20000)) << assisted;
        EXPECT_TRUE(hooks.errors.isEmpty()) << hooks.errors.join("|").toStdString();
        const DeviceConfig now = lab.fleet().device(0).config;
        EXPECT_EQ(now.dhcp_enabled, dhcp);
        EXPECT_EQ(now.tcp_setup_enabled, f.ui->TCPCheckBox->isChecked());
        EXPECT_EQ(now.nvt_enabled, f.ui->NVTCheckBox->isChecked());
        EXPECT_EQ(now.tea_enabled, f.ui->TEACheckBox->isChecked());
        EXPECT_EQ(now.filter_ip, filter ? "127.0.0.0" : "0.0.0.0");
        EXPECT_EQ(now.filter_mask, filter ? "255.0.0.0" : "0.0.0.0");
        ASSERT_TRUE(SearchAgain(w));
    }
}

// A device whose web server was mute during the search shows no name; a
// setup from the detail dialog that leaves the name alone does not erase it.
TEST(AssistedWindow, ANameTheSearchCouldNotReadIsNeverErased) {
    ScriptedHooks hooks;
    auto devices = kelvo::devsim::mixed_devices(1, true); // its name is on its web server
    devices[0].faults.http_silent = true;
    Lab lab(devices);
    ASSERT_TRUE(lab.ok()) << lab.error();
    TMainForm w(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(w));
    ASSERT_EQ(w.deviceModel->deviceCount, 1);
    kelvo::ui::TDetailForm f(&w, w.deviceModel->DeviceTable[0].record, &w.spinnerIndex);
    f.show();
    EXPECT_EQ(f.ui->NameEdit->text(), "");
    f.ui->ValidCheckBox->setChecked(false);
    f.ui->TCPCheckBox->setChecked(!f.ui->TCPCheckBox->isChecked());
    QTest::mouseClick(f.ui->SaveBitBtn, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&f] { return f.settingsApplied; }, 20000));
    EXPECT_EQ(lab.fleet().device(0).setups_applied, 1u);
    EXPECT_EQ(lab.fleet().device(0).config.name, devices[0].name);
    for (const auto &line : lab.fleet().log())
        EXPECT_EQ(line.find("\"POST\""), std::string::npos) << line;
}

// On a real network devices answer in any order; until the user picks one,
// the list stays at its top with the first row current.
TEST(AssistedWindow, FirstRowStaysCurrentWhenTheFirstDevicesAnswerLate) {
    ScriptedHooks hooks;
    auto devices = kelvo::devsim::mixed_devices(40, true);
    for (std::size_t i = 0; i < 12; ++i)
        devices[i].faults.reply_delay_ms = 1500;
    Lab lab(devices);
    ASSERT_TRUE(lab.ok()) << lab.error();
    kelvo::terminal::UserSettings().remove("MainWindow/SortColumn"); // by IP
    TMainForm w(nullptr, WindowOptions(lab));
    kelvo::ui::TDeviceGrid *grid = w.ui->StringGrid;
    w.show();
    ASSERT_TRUE(WaitFor([&w] { return w.searching && w.deviceModel->deviceCount >= 20; }, 15000));
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), 1);
    ASSERT_TRUE(WaitForSearch(w));
    ASSERT_EQ(w.deviceModel->deviceCount, 40);
    EXPECT_EQ(grid->CellText(1, 0), Mac(lab.fleet(), 0));
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), 1);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    EXPECT_GT(grid->verticalScrollBar()->maximum(), 0) << "the list is longer than the view";
    // A row chosen by the keyboard is the user's and stays through a search.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(w.ui->StringGrid->CurrentRow(), 2);
    ASSERT_TRUE(SearchAgain(w));
    EXPECT_EQ(w.ui->StringGrid->CurrentRow(), RowOf(w, Mac(lab.fleet(), 1)));
}
