// Renders the real windows to PNG files:
//   kelvo-ui-screenshots OUTPUT_DIR [LANGUAGE]
// writes main-window.png (after searches of a simulated fleet in which one
// device appeared, one was renamed and one went silent),
// main-window-dark.png (the same under a dark palette), detail-dialog.png,
// detail-dhcp.png, terminal.png (connected to a device's setup terminal),
// about.png, authorization.png and confirm.png. Run it with QT_SCALE_FACTOR
// set to look at the forms on a high-density screen (docs/main-window-scale2.png
// is main-window.png from a run with QT_SCALE_FACTOR=2). With a LANGUAGE
// ("de") the windows are in that language and the names end in it
// (main-window-de.png).
#include "aboutform.h"
#include "authform.h"
#include "confirmform.h"
#include "detailform.h"
#include "language.h"
#include "names.h"
#include "state.h"
#include "ttelnetform.h"
#include "ui_detailform.h"
#include "ui_mainform.h"
#include "uitest_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace kelvo::test;

namespace {

QString languageSuffix;

bool Save(QWidget &w, const QDir &out, const char *name) {
    w.show();
    QApplication::processEvents();
    QString file = out.filePath(name);
    file.insert(file.size() - 4, languageSuffix);
    if (!w.grab().save(file)) {
        std::fprintf(stderr, "kelvo-ui-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: kelvo-ui-screenshots OUTPUT_DIR [LANGUAGE]\n");
        return 2;
    }
    if (argc == 3) {
        if (kelvo::ui::InstallTranslations(QString::fromLocal8Bit(argv[2])).isEmpty()) {
            std::fprintf(stderr, "kelvo-ui-screenshots: no translation for %s\n", argv[2]);
            return 2;
        }
        languageSuffix = "-" + QString::fromLocal8Bit(argv[2]);
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    // Macros and window places of the pictures stay out of the user's settings.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    // So does the inventory of known devices.
    qputenv("XDG_DATA_HOME", QFile::encodeName(settings.filePath("data")));

    ScriptedHooks hooks;
    auto devices = kelvo::devsim::mixed_devices(8, true);
    devices[7].faults.drop_replies = true; // appears after the first search
    Lab lab(devices);
    if (!lab.ok()) {
        std::fprintf(stderr, "kelvo-ui-screenshots: %s\n", lab.error().c_str());
        return 1;
    }
    kelvo::ui::TMainForm w(nullptr, WindowOptions(lab));
    if (!WaitForSearch(w)) {
        std::fprintf(stderr, "kelvo-ui-screenshots: the search did not end\n");
        return 1;
    }
    // Searches in which one device appears, one is renamed and one goes
    // silent, so that the table shows each state; short quiet ends.
    qvudps::library().quiet_ms = 500;
    lab.fleet().set_faults(lab.fleet().device(7).config.mac, {});
    const kelvo::devsim::DeviceState renamed = lab.fleet().device(0);
    qvudps::upload_name(renamed.config.ip.c_str(), renamed.http_port, "Boiler room");
    lab.fleet().set_faults(lab.fleet().device(4).config.mac, {.drop_replies = true});
    for (int i = 0; i < kelvo::watch::kMissesToOffline; ++i)
        SearchAgain(w);
    qvudps::library().quiet_ms = 0;
    w.ui->StringGrid->SetCurrentRow(3);
    bool ok = Save(w, out, "main-window.png");

    w.selectedDevice = w.ui->StringGrid->FindDeviceByRow(1);
    qvudps_module *record = w.deviceModel->DeviceTable[w.selectedDevice].record;
    {
        kelvo::ui::TDetailForm detail(&w, record, &w.spinnerIndex);
        ok = Save(detail, out, "detail-dialog.png") && ok;
        detail.ui->DHCPCheckBox->setEnabled(true);
        detail.ui->DHCPCheckBox->click();
        ok = Save(detail, out, "detail-dhcp.png") && ok;
    }
    {
        kelvo::ui::TAboutForm about(nullptr, w.AppName, w.AppVersion, w.FirmName, w.AppComments);
        ok = Save(about, out, "about.png") && ok;
        kelvo::ui::TAuthForm auth(&w);
        ok = Save(auth, out, "authorization.png") && ok;
        kelvo::ui::TConfirmForm confirm(&w, "192.168.5.20", "192.168.1.X");
        ok = Save(confirm, out, "confirm.png") && ok;
    }
    {
        // The first device's setup terminal, after a command and its answer.
        const kelvo::devsim::DeviceState device = lab.fleet().device(0);
        TTelnetForm terminal(&w, device.setup_port);
        terminal.Connect(QString::fromStdString(device.config.ip));
        auto *display = terminal.findChild<QPlainTextEdit *>("Memo");
        const bool greeted =
            QTest::qWaitFor([&] { return display->toPlainText().contains("Choice:"); }, 5000);
        QTest::keyClicks(display, "1\r");
        if (!greeted ||
            !QTest::qWaitFor([&] { return display->toPlainText().count("Choice:") == 2; }, 5000))
            std::fprintf(stderr, "kelvo-ui-screenshots: the terminal did not answer\n");
        ok = Save(terminal, out, "terminal.png") && ok;
        terminal.reject();
    }

    QApplication::setPalette(DarkPalette());
    QApplication::processEvents();
    w.ui->StringGrid->SetCurrentRow(3);
    ok = Save(w, out, "main-window-dark.png") && ok;
    return ok ? 0 : 1;
}
