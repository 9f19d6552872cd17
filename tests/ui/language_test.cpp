// The window in each of its languages: every form holds its texts whole,
// English stays as it always was, and the user's locale picks the language.
#include "aboutform.h"
#include "authform.h"
#include "compareform.h"
#include "confirmform.h"
#include "detailform.h"
#include "historyform.h"
#include "language.h"
#include "mainform.h"
#include "ttelnetform.h"
#include "ui_detailform.h"
#include "ui_mainform.h"
#include "uitest_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

using kelvo::ui::InstallTranslations;

namespace {

kelvo::ui::MainOptions Unsearched() {
    kelvo::ui::MainOptions o;
    o.relayPort = 9; // never searched
    o.macFilterFile = "/nonexistent/kelvo.filter";
    return o;
}

// A caption narrower than its text is cut; a wrapped one lower than its
// lines loses the last ones.
void ExpectNothingCut(QWidget &form) {
    form.show();
    QApplication::processEvents();
    EXPECT_GE(form.width(), form.minimumSizeHint().width()) << form.objectName().toStdString();
    for (QWidget *c : form.findChildren<QWidget *>()) {
        if (!c->isVisibleTo(&form))
            continue;
        QString text;
        if (auto *label = qobject_cast<QLabel *>(c)) {
            text = label->text();
            if (label->wordWrap()) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                    << form.objectName().toStdString() << "/" << c->objectName().toStdString();
                continue;
            }
        } else if (auto *push = qobject_cast<QPushButton *>(c)) {
            // A push button is never narrower than the style's minimum, which
            // can be wider than its text: what counts is the room inside.
            QStyleOptionButton option;
            option.initFrom(push);
            option.text = push->text();
            const int room =
                push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
            const int icon = push->icon().isNull() ? 0 : push->iconSize().width() + 4;
            EXPECT_GE(room,
                      push->fontMetrics().horizontalAdvance(QString(option.text).remove('&')) +
                          icon)
                << form.objectName().toStdString() << "/" << c->objectName().toStdString() << " \""
                << option.text.toStdString() << "\"";
            continue;
        } else if (auto *button = qobject_cast<QAbstractButton *>(c)) {
            text = button->text();
        } else if (auto *group = qobject_cast<QGroupBox *>(c)) {
            text = group->title();
        }
        if (text.isEmpty())
            continue;
        EXPECT_GE(c->width(), c->minimumSizeHint().width())
            << form.objectName().toStdString() << "/" << c->objectName().toStdString() << " \""
            << text.toStdString() << "\"";
    }
}

class EveryLanguage : public ::testing::TestWithParam<const char *> {
protected:
    void TearDown() override { InstallTranslations("C"); }
};

} // namespace

// Run at scale 2 too (ctest: ui_language_scale2).
TEST_P(EveryLanguage, FormsHoldTheirLongestTexts) {
    const QString code = GetParam();
    ASSERT_EQ(InstallTranslations(code).isEmpty(), code == "en");
    kelvo::test::ScriptedHooks hooks;
    kelvo::ui::TMainForm w(nullptr, Unsearched());
    qvudps_module d = kelvo::test::Record();
    int spinner = 0;
    kelvo::ui::TDetailForm detail(&w, &d, &spinner);
    kelvo::ui::TAuthForm auth(&w);
    kelvo::ui::TConfirmForm confirm(&w, "192.168.5.20", "192.168.1.X");
    kelvo::ui::TAboutForm about(&w, w.AppName, w.AppVersion, w.FirmName, w.AppComments);
    TTelnetForm terminal(&w, 0);
    TCompareForm compare(&w, "10.9.8.7", "/tmp/device.xml", {});
    kelvo::ui::THistoryForm history(&w, {});
    for (QWidget *form : std::initializer_list<QWidget *>{&w, &detail, &auth, &confirm, &about,
                                                          &terminal, &compare, &history})
        ExpectNothingCut(*form);
}

INSTANTIATE_TEST_SUITE_P(Languages, EveryLanguage,
                         ::testing::Values("en", "de", "fr", "es", "it", "zh_CN"),
                         [](const auto &language) { return std::string(language.param); });

// English is the source language: under C or an English locale every text is
// the one the program always had, and a translation changes them all.
TEST(Languages, EnglishStaysTodaysAndATranslationReplacesIt) {
    kelvo::test::ScriptedHooks hooks;
    const auto texts = [] {
        kelvo::ui::TMainForm w(nullptr, Unsearched());
        qvudps_module d = kelvo::test::Record();
        int spinner = 0;
        kelvo::ui::TDetailForm detail(&w, &d, &spinner);
        TTelnetForm terminal(&w, 0);
        detail.show();
        QApplication::processEvents();
        return QStringList{w.windowTitle().section(' ', 2),
                           w.ui->SearchBitBtn->text(),
                           w.ui->DescLabel->text(),
                           w.ui->StringGrid->model()->headerData(3, Qt::Horizontal).toString(),
                           w.ui->EditParameters1->statusTip(),
                           w.StatusText(),
                           detail.windowTitle(),
                           detail.ui->SaveBitBtn->text(),
                           detail.ui->DHCPEdit->text(),
                           terminal.windowTitle()};
    };
    const QStringList english{"for Marvane products (www.marvane.example)",
                              "  &Find Devices",
                              "Config utility for the Marvane devices",
                              "Device type",
                              "Show and change every setting of the device",
                              "Loading application...",
                              "Details - Old (02:AA:00:00:00:01)",
                              "&Apply changes",
                              "Not supported",
                              "TCP Setup"};
    for (const char *code : {"C", "en", "en_US", "en_GB", "xx"}) {
        EXPECT_EQ(InstallTranslations(code), "") << code;
        EXPECT_EQ(texts().join(" | ").toStdString(), english.join(" | ").toStdString()) << code;
    }
    for (const QString &code : kelvo::ui::TranslatedLanguages()) {
        EXPECT_FALSE(InstallTranslations(code).isEmpty()) << code.toStdString();
        const QStringList translated = texts();
        for (int i = 0; i < english.size(); ++i)
            // "Device type" and the like may be the same word in a language.
            if (i != 0 && i != 3 && i != 6) {
                EXPECT_NE(translated[i], english[i]) << code.toStdString() << " " << i;
            }
    }
    // Qt's own buttons follow, where Qt's translations are installed.
    InstallTranslations("de");
    if (QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).exists("qtbase_de.qm")) {
        EXPECT_EQ(QMessageBox(QMessageBox::Question, "", "", QMessageBox::Yes)
                      .button(QMessageBox::Yes)
                      ->text()
                      .remove('&'),
                  "Ja");
    }
    InstallTranslations("C");
    EXPECT_EQ(QMessageBox(QMessageBox::Question, "", "", QMessageBox::Yes)
                  .button(QMessageBox::Yes)
                  ->text()
                  .remove('&'),
              "Yes");
}

// Run under LC_ALL=C and LC_ALL=de_DE.UTF-8 too (ctest: ui_language_c,
// ui_language_de).
TEST(Languages, TheUsersLocaleChoosesTheLanguage) {
    const QLocale system = QLocale::system();
    QString expected;
    for (const QString &code : kelvo::ui::TranslatedLanguages())
        if (QLocale(code).language() == system.language())
            expected = code;
    const QString shown = InstallTranslations("");
    InstallTranslations("C");
    EXPECT_EQ(shown.left(2), expected.left(2)) << system.name().toStdString();
}
