// The search flow's status texts and choices: the countdown, a missing relay,
// the adapter used for a device, a relay's own word on an empty search.
#include "mainform.h"
#include "ui_mainform.h"
#include "uitest_support.h"

#include <QComboBox>
#include <QNetworkDatagram>
#include <QStatusBar>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

using namespace kelvo::test;

TEST_F(Dialogs, SearchCountsDownAndATimedOutSearchCanBeStartedAgain) {
    // A relay with no device behind it: nothing replies, so the search ends
    // after its quiet time.
    Lab lab(std::vector<kelvo::devsim::DeviceConfig>{});
    ASSERT_TRUE(lab.ok()) << lab.error();
    kelvo::ui::MainOptions o = WindowOptions(lab);
    kelvo::ui::TMainForm w(nullptr, o);
    // A screen reader hears the start and the end, not every tick.
    const QStringList heard = Announced([&] {
        w.SearchBitBtnClick();
        ASSERT_TRUE(w.searching);
        EXPECT_EQ(w.StatusText(), "Searching modules... -");
        w.SearchTimer->stop(); // polled by hand below
        w.SearchTimerTimer();
        EXPECT_EQ(w.StatusText(), "Searching modules (remains 60 seconds)... \\");
        for (int i = 0; i < 10; ++i)
            w.SearchTimerTimer();
        EXPECT_EQ(w.StatusText(), "Searching modules (remains 59 seconds)... /");
        // The last poll: the limit ends the wait and frees the button.
        w.searchTicks = 0;
        w.SearchTimerTimer();
    });
    EXPECT_EQ(w.StatusText(), "Searching modules... timed out after 60 seconds");
    EXPECT_EQ(heard, QStringList({"Searching modules... -",
                                  "Searching modules... timed out after 60 seconds"}));
    EXPECT_EQ(AccessibleName(w.ui->StatusBar), w.StatusText());
    EXPECT_FALSE(w.searching);
    EXPECT_FALSE(w.SearchTimer->isActive());
    // Once the library is done, the button starts a new search.
    ASSERT_TRUE(WaitFor([] { return qvudps_search_finish() == 0; }, 10000));
    w.SearchBitBtnClick();
    EXPECT_TRUE(w.searching);
    // Nothing found through a running relay: the status says where it looked.
    const QString nothing =
        QString("Searching modules... 0 device(s) found (no device answered through the relay at "
                "127.0.0.1:%1 (its log names the interfaces it searched); a firewall blocking UDP "
                "from the devices is the usual cause)")
            .arg(o.relayPort);
    EXPECT_TRUE(WaitFor([&] { return w.StatusText() == nothing; }, 10000))
        << w.StatusText().toStdString();
    EXPECT_TRUE(hooks.questions.isEmpty());
}

TEST_F(Dialogs, AdapterOfTheDeviceIsUsedUntilTheUserPicksOne) {
    kelvo::ui::MainOptions o;
    o.relayPort = 9; // never searched
    o.macFilterFile = "/nonexistent/kelvo.filter";
    kelvo::ui::TMainForm w(nullptr, o);
    ASSERT_EQ(w.AdapterComboBox->count(), static_cast<int>(w.adapters.size()));
    w.adapters = {{"eth0", "10.77.0.1", "255.255.255.0", "10.77.0.254"},
                  {"wlan0", "192.168.5.10", "255.255.255.0", ""}};
    {
        const QSignalBlocker refill(w.AdapterComboBox); // not the user's choice
        w.AdapterComboBox->clear();
        w.AdapterComboBox->addItems({"eth0", "wlan0"});
    }
    qvudps_module device{};
    std::strcpy(device.ip, "192.168.5.20");
    w.UseAdapterForDevice(device);
    EXPECT_EQ(w.AdapterComboBox->currentIndex(), 1);
    EXPECT_EQ(w.ui->LIPLabel->text(), "192.168.5.10");
    EXPECT_EQ(kelvo::host::LocalIpText, "192.168.5.10");
    std::strcpy(device.ip, "172.16.0.9");
    w.UseAdapterForDevice(device, "192.168.5.30");
    EXPECT_EQ(kelvo::host::LocalIpText, "192.168.5.10") << "the network of the new address";
    w.UseAdapterForDevice(device);
    EXPECT_EQ(kelvo::host::LocalIpText, "10.77.0.1") << "else the one with the default route";
    EXPECT_EQ(w.ui->LGatewayLabel->text(), "10.77.0.254");
    // The user's pick stays, however it was made.
    w.AdapterComboBox->setCurrentIndex(1);
    std::strcpy(device.ip, "10.77.0.5");
    w.UseAdapterForDevice(device);
    EXPECT_EQ(kelvo::host::LocalIpText, "192.168.5.10");
}

TEST_F(Dialogs, WithoutARelayTheStatusNamesTheFixAndOffersADirectSearch) {
    // A free port, and a plain UDP listener that took the relay's port:
    // neither answers as a relay, and neither gets a search.
    for (const bool squatted : {false, true}) {
        SCOPED_TRACE(squatted);
        hooks.questions.clear();
        QUdpSocket holder;
        ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
        const int port = holder.localPort();
        if (!squatted)
            holder.close();
        kelvo::ui::MainOptions o;
        o.relayPort = port;
        o.macFilterFile = "/nonexistent/kelvo.filter";
        kelvo::ui::TMainForm w(nullptr, o);
        const QString noRelay =
            QString("No relay at 127.0.0.1:%1: %2; start kelvo-relay (systemctl start kelvo-relay; "
                    "where systemd does not run, run kelvo-relay in a terminal)")
                .arg(port)
                .arg(squatted ? "nothing there answers as kelvo-relay" : "nothing listens there");
        hooks.answers = {false}; // No: nothing is searched (Yes would broadcast)
        w.SearchBitBtnClick();
        EXPECT_FALSE(w.searching);
        EXPECT_EQ(w.StatusText(), noRelay);
        ASSERT_EQ(hooks.questions.size(), 1);
        EXPECT_TRUE(hooks.questions[0].startsWith(noRelay + ".\r\n\r\nSearch directly"));
        EXPECT_FALSE(w.directSearch);
        while (holder.hasPendingDatagrams())
            EXPECT_EQ(holder.receiveDatagram().data().at(0), 3) << "a probe, nothing else";
    }
}

TEST_F(Dialogs, NothingFoundShowsTheRelaysOwnReason) {
    Lab lab({}, {"--interface", "kvnone0"}); // an interface this PC does not have
    ASSERT_TRUE(lab.ok()) << lab.error();
    kelvo::ui::TMainForm w(nullptr, WindowOptions(lab));
    w.SearchBitBtnClick();
    ASSERT_TRUE(w.searching);
    const QString expected =
        QString("Searching modules... 0 device(s) found (no device answered through the relay at "
                "127.0.0.1:%1, which says: none of the --interface interfaces is up)")
            .arg(lab.relay_port());
    EXPECT_TRUE(WaitFor([&] { return w.StatusText() == expected; }, 15000))
        << w.StatusText().toStdString();
}
