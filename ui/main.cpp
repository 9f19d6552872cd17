// The kelvo program: the main window and its message loop.
#include "kelvo_version.h"
#include "language.h"
#include "mainform.h"
#include "options.h"
#include "qvplatform.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

namespace {

int Usage(const QString &error) {
    std::fprintf(stderr, "kelvo: %s\n", error.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    // --help and --version answer without a display (package checks, man pages).
    QStringList early;
    for (int i = 1; i < argc; ++i)
        early << QString::fromLocal8Bit(argv[i]);
    if (early.contains("--version") || early.contains("--help") || early.contains("-h")) {
        kelvo::ui::MainOptions unused;
        QString error, exitText;
        if (!kelvo::ui::ParseCommandLine(early, unused, &error, &exitText))
            return Usage(error);
        std::fputs(exitText.toLocal8Bit().constData(), stdout);
        return 0;
    }

    // A search of a large plant looks the names up over as many connections
    // at once as the system allows.
    qv_raise_fd_limit();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kelvo");
    QApplication::setOrganizationName("Marvane");
    QApplication::setApplicationVersion(KELVO_VERSION);
    // Lets docks match the window to its launcher (the Wayland app id).
    QGuiApplication::setDesktopFileName("example.marvane.Kelvo");

    kelvo::ui::MainOptions options;
    QString error;
    if (!kelvo::ui::ParseCommandLine(QApplication::arguments().mid(1), options, &error))
        return Usage(error);
    const QString language = kelvo::ui::InstallTranslations(options.language);
    if (!options.language.isEmpty() && language.isEmpty() &&
        !options.language.startsWith("en", Qt::CaseInsensitive) && options.language != "C")
        std::fprintf(stderr, "kelvo: no translation for %s; the window is in English\n",
                     options.language.toLocal8Bit().constData());
    try {
        kelvo::ui::TMainForm window(nullptr, options);
        window.show();
        return QApplication::exec();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, "Mvx-Config", QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "Mvx-Config",
                              QApplication::translate("kelvo::ui", "Unexpected error"));
    }
    return 1;
}
