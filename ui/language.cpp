#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace kelvo::ui {

namespace {

// The installed translators live as long as the program (or until replaced).
std::unique_ptr<QTranslator> &OwnTranslator() {
    static std::unique_ptr<QTranslator> t;
    return t;
}

std::unique_ptr<QTranslator> &QtTranslator() {
    static std::unique_ptr<QTranslator> t;
    return t;
}

void Uninstall(std::unique_ptr<QTranslator> &t) {
    if (t)
        QCoreApplication::removeTranslator(t.get());
    t.reset();
}

} // namespace

QStringList TranslatedLanguages() {
    return {"de", "fr", "es", "it", "zh_CN"};
}

QString InstallTranslations(const QString &code) {
    Uninstall(OwnTranslator());
    Uninstall(QtTranslator());
    const QLocale locale = code.isEmpty() ? QLocale::system() : QLocale(code);
    // QLocale("xx") of an unknown code is C, which has no translation.
    if (locale.language() == QLocale::C || locale.language() == QLocale::English)
        return {};
    auto own = std::make_unique<QTranslator>();
    if (!own->load(locale, "kelvo", "_", ":/i18n"))
        return {};
    QCoreApplication::installTranslator(own.get());
    const QString shown = own->language();
    OwnTranslator() = std::move(own);
    // Qt's texts (dialog buttons, the file chooser) only where ours are
    // translated, so that an English window has no foreign buttons.
    auto qt = std::make_unique<QTranslator>();
    for (const QString &folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QDir(QCoreApplication::applicationDirPath()).filePath("translations")}) {
        if (qt->load(locale, "qtbase", "_", folder)) {
            QCoreApplication::installTranslator(qt.get());
            QtTranslator() = std::move(qt);
            break;
        }
    }
    return shown;
}

} // namespace kelvo::ui
