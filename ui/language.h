// The window's language: the program's own translations (built into it) and
// Qt's for its standard dialogs, chosen by the user's locale or by
// "--language CODE".
//
// Threading: user-interface thread, before the first window is made.
#ifndef KELVO_UI_LANGUAGE_H
#define KELVO_UI_LANGUAGE_H

#include <QString>
#include <QStringList>

namespace kelvo::ui {

// The languages the program is translated into, besides its own English.
QStringList TranslatedLanguages();

// Installs the translations for `code` ("de", "fr_FR", "zh_CN"...), or for
// the system locale when `code` is empty, replacing any installed before.
// Returns the language now shown ("" for English, the source language, which
// is also what a locale without a translation gets, such as C or en_US).
// Qt's own translations come from its translations folder, or from a
// "translations" folder beside the program, as the Windows bundle has it.
QString InstallTranslations(const QString &code);

} // namespace kelvo::ui

#endif
