// Renders the real main window (after a search of a simulated fleet) and the
// detail dialog to PNG files:
//   kelvo-ui-screenshots OUTPUT_DIR
// writes OUTPUT_DIR/main-window.png and OUTPUT_DIR/detail-dialog.png.
#include "detailform.h"
#include "ui_mainform.h"
#include "uitest_support.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

using namespace kelvo::uitest;

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvo-ui-screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    ScriptedHooks hooks;
    Lab lab(kelvo::devsim::mixed_devices(8, true));
    if (!lab.ok()) {
        std::fprintf(stderr, "kelvo-ui-screenshots: %s\n", lab.error().c_str());
        return 1;
    }
    kelvo::ui::TMainForm w(nullptr, lab.options());
    if (!WaitForSearch(w)) {
        std::fprintf(stderr, "kelvo-ui-screenshots: the search did not end\n");
        return 1;
    }
    // A second search, so that the table shows a device that moved as new.
    w.SetCurrentRow(2);
    const bool moved = !w.seenDevices.isEmpty();
    if (moved)
        w.seenDevices.removeLast();
    w.SearchBitBtnClick();
    WaitForSearch(w);
    w.SetCurrentRow(2);
    QApplication::processEvents();
    const QString mainFile = out.filePath("main-window.png");
    if (!w.grab().save(mainFile)) {
        std::fprintf(stderr, "kelvo-ui-screenshots: cannot write %s\n", qPrintable(mainFile));
        return 1;
    }

    w.selectedDevice = w.FindDeviceByRow(1);
    kelvo::ui::TDetailForm detail(&w, w.DeviceTable[w.selectedDevice].record, &w.spinnerIndex);
    detail.show();
    QApplication::processEvents();
    const QString detailFile = out.filePath("detail-dialog.png");
    if (!detail.grab().save(detailFile)) {
        std::fprintf(stderr, "kelvo-ui-screenshots: cannot write %s\n", qPrintable(detailFile));
        return 1;
    }
    std::printf("%s\n%s\n", qPrintable(mainFile), qPrintable(detailFile));
    return 0;
}
