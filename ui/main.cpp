// The kelvo program: the main window and its message loop.
#include "mainform.h"
#include "options.h"
#include "qvplatform.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    // A search of a large plant looks the names up over as many connections
    // at once as the system allows.
    qv_raise_fd_limit();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kelvo");
    QApplication::setOrganizationName("Marvane");

    kelvo::ui::MainOptions options;
    QString error;
    if (!kelvo::ui::ParseCommandLine(QApplication::arguments().mid(1), options, &error)) {
        std::fprintf(stderr, "kelvo: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    try {
        kelvo::ui::TMainForm window(nullptr, options);
        window.show();
        return QApplication::exec();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, "Mvx-Config", QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "Mvx-Config", "Unexpected error");
    }
    return 1;
}
