// Watching the network: the automatic refresh against a simulated fleet
// behind a real relay.
#include "historyform.h"
#include "state.h"
#include "ui_mainform.h"
#include "uitest_support.h"
#include "watching.h"

#include <QCheckBox>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace kelvo::test;
using kelvo::ui::TMainForm;
using kelvo::watch::EventKind;

namespace {

// The fleet's HTTP name lookups of one device from log line `from` on.
int NameLookups(const Lab &lab, const QString &mac, std::size_t from) {
    const std::vector<std::string> log = lab.fleet().log();
    int n = 0;
    for (std::size_t i = from; i < log.size(); ++i)
        n += log[i].find("\"kind\":\"http\"") != std::string::npos &&
             log[i].find("/values.xml") != std::string::npos &&
             log[i].find(mac.toStdString()) != std::string::npos;
    return n;
}

struct ShortSearches {
    // Three quiet seconds per search would make every step of the watch
    // wait for them; the fleet answers at once on loopback.
    ShortSearches() { qvudps::library().quiet_ms = 300; }
    ~ShortSearches() { qvudps::library().quiet_ms = 0; }
};

} // namespace

TEST(Watching, RowsAndHistoryFollowTheFleetAndOnlyNewOrChangedDevicesAreAskedTheirNames) {
    ScriptedHooks hooks;
    // Two thermometers, named over HTTP; the second answers later.
    auto devices = kelvo::devsim::mixed_devices(7, true);
    devices = {devices[0], devices[6]};
    devices[1].faults.drop_replies = true;
    Lab lab(devices);
    ASSERT_TRUE(lab.ok()) << lab.error();
    const ShortSearches quick;
    const QString a = Mac(lab.fleet(), 0), b = Mac(lab.fleet(), 1);
    auto w = std::make_unique<TMainForm>(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(*w));
    ASSERT_EQ(RowOf(*w, b), -1);
    kelvo::ui::TDeviceGrid *grid = w->ui->StringGrid;
    grid->SetCurrentRow(RowOf(*w, a));
    const auto state = [&w](const QString &mac) {
        const int row = RowOf(*w, mac);
        return row < 0 ? QString("no row")
                       : w->ui->StringGrid->CellText(row, kelvo::ui::kStateColumn);
    };
    const std::size_t watchFrom = lab.fleet().log_size();
    w->watching->SetIntervalForTest(50);
    w->watching->RefreshCheckBox->setChecked(true);

    // b appears.
    lab.fleet().set_faults(b.toStdString(), {});
    ASSERT_TRUE(WaitFor([&] { return state(b) == "New"; }, 20000)) << state(b).toStdString();
    EXPECT_EQ(grid->CellText(RowOf(*w, b), 1), "Thermometer 7");

    // b gets another address, set between two refreshes.
    w->watching->RefreshCheckBox->setChecked(false);
    ASSERT_TRUE(WaitFor([&] { return !w->searching; }, 20000));
    const int bIndex = grid->FindDeviceByRow(RowOf(*w, b));
    qvudps_module moved = *w->deviceModel->DeviceTable[bIndex].record;
    const QString oldIp = moved.ip;
    std::strcpy(moved.ip, "127.0.10.77");
    ASSERT_EQ(qvudps_setup(&moved, 0, nullptr), 0);
    w->watching->RefreshCheckBox->setChecked(true); // skipped while the setup runs
    ASSERT_TRUE(WaitFor([&] { return state(b) == "Changed"; }, 20000)) << state(b).toStdString();
    const QModelIndex changed = grid->model()->index(RowOf(*w, b) - 1, 0);
    EXPECT_TRUE(changed.data(Qt::ToolTipRole).toString().contains(oldIp + " → 127.0.10.77"))
        << changed.data(Qt::ToolTipRole).toString().toStdString();

    // a goes silent: offline after three refreshes, greyed, nothing offered.
    lab.fleet().set_faults(a.toStdString(), {.drop_replies = true});
    ASSERT_TRUE(WaitFor([&] { return state(a).startsWith("Offline, last seen "); }, 30000));
    const QModelIndex offline = grid->model()->index(RowOf(*w, a) - 1, 0);
    EXPECT_TRUE(offline.data(kelvo::ui::TDeviceModel::OfflineRole).toBool());
    EXPECT_FALSE(offline.data(kelvo::ui::TDeviceModel::LinkRole).toBool());
    w->PopupMenuPopup();
    EXPECT_FALSE(w->ui->EditParameters1->isEnabled());
    EXPECT_FALSE(w->ui->DownloadPopupMenu->isEnabled());

    // ...and back.
    lab.fleet().set_faults(a.toStdString(), {});
    ASSERT_TRUE(WaitFor([&] { return state(a).isEmpty(); }, 20000)) << state(a).toStdString();
    w->watching->RefreshCheckBox->setChecked(false);
    ASSERT_TRUE(WaitFor([&] { return !w->searching; }, 20000));

    // The user's row stayed current all along.
    EXPECT_EQ(grid->CurrentRow(), RowOf(*w, a));
    std::vector<std::pair<EventKind, QString>> events;
    for (const auto &e : w->watching->History())
        events.emplace_back(e.kind, e.mac);
    EXPECT_EQ(events, (std::vector<std::pair<EventKind, QString>>{{EventKind::Appeared, b},
                                                                  {EventKind::Changed, b},
                                                                  {EventKind::Gone, a},
                                                                  {EventKind::Back, a}}));
    hooks.dialogs.push_back([](QDialog &dialog) {
        const auto *table = static_cast<kelvo::ui::THistoryForm &>(dialog).HistoryTable;
        EXPECT_EQ(table->rowCount(), 4);
        EXPECT_EQ(table->item(0, 3)->text(), "Back"); // newest first
        EXPECT_EQ(table->item(3, 3)->text(), "New");
        return QDialog::Rejected;
    });
    w->watching->HistoryAction->trigger();
    EXPECT_EQ(hooks.dialogTitles, QStringList{"History"});
    // Names were asked only of the device that appeared and changed.
    EXPECT_EQ(NameLookups(lab, a, watchFrom), 0);
    EXPECT_EQ(NameLookups(lab, b, watchFrom), 2);

    // The next run compares its first search with what this one knew.
    w.reset();
    lab.fleet().set_faults(b.toStdString(), {.drop_replies = true});
    TMainForm again(nullptr, WindowOptions(lab));
    ASSERT_TRUE(WaitForSearch(again));
    EXPECT_EQ(again.StatusText(), "Searching modules... 1 device(s) found; 0 new, 0 changed, 1 "
                                  "not seen since last time");
}
