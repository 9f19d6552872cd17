// The translation files themselves: every entry finished, and every
// translation keeps what the program fills in or the keyboard reaches.
// (scripts/update-translations --check, run as ui_translations_current,
// finds texts missing from a file or gone from the sources.)
#include "authform.h"
#include "hostrelay.h"
#include "language.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

struct Entry {
    QString context, source;
    QStringList translations; // one per plural form
    bool unfinished = false;
    bool numerus = false;
};

std::vector<Entry> ReadTs(const QString &path) {
    std::vector<Entry> entries;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            entries.push_back(
                {context, {}, {}, false, xml.attributes().value("numerus") == u"yes"});
        } else if (xml.name() == u"source") {
            // Line ends are written as <byte/> elements.
            entries.back().source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.name() == u"translation") {
            entries.back().unfinished = !xml.attributes().value("type").isEmpty();
            if (!entries.back().numerus)
                entries.back().translations
                    << xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.name() == u"numerusform") {
            entries.back().translations << xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return entries;
}

// The files are gettext PO for translators' tools; lconvert gives the same
// entries in Qt's own format, with each entry's finished state.
std::vector<Entry> ReadPo(const QString &path) {
    QTemporaryDir work;
    const QString ts = work.filePath("entries.ts");
    QProcess lconvert;
    lconvert.start(KELVO_LCONVERT, {"-i", path, "-o", ts});
    EXPECT_TRUE(lconvert.waitForFinished(60000) && lconvert.exitCode() == 0)
        << path.toStdString() << ": " << lconvert.readAllStandardError().toStdString();
    return ReadTs(ts);
}

QStringList Placeholders(const QString &text) {
    static const QRegularExpression marker("%(\\d|n)");
    QStringList found;
    for (const auto &m : marker.globalMatch(text))
        found << m.captured();
    found.sort();
    return found;
}

// "&&" is a literal ampersand, not an accelerator.
int Accelerators(const QString &text) {
    return static_cast<int>(QString(text).remove("&&").count('&'));
}

} // namespace

TEST(Translations, EveryEntryIsFinishedAndKeepsPlaceholdersAcceleratorsAndEllipses) {
    for (const QString &language : kelvo::ui::TranslatedLanguages()) {
        const auto entries =
            ReadPo(QDir(KELVO_TRANSLATIONS_DIR).filePath("kelvo_" + language + ".po"));
        EXPECT_GT(entries.size(), 200u) << language.toStdString();
        for (const Entry &e : entries) {
            const std::string where = language.toStdString() + " " + e.context.toStdString() +
                                      ": " + e.source.toStdString();
            EXPECT_FALSE(e.unfinished) << where;
            ASSERT_FALSE(e.translations.isEmpty()) << where;
            for (QString t : e.translations) {
                // An entry with a plural keeps %n; the singular form of some
                // languages may say "one" instead.
                if (e.translations.size() > 1 && !t.contains("%n"))
                    t += " %n";
                EXPECT_FALSE(t.trimmed().isEmpty()) << where;
                EXPECT_EQ(Placeholders(t), Placeholders(e.source))
                    << where << " -> " << t.toStdString();
                EXPECT_EQ(Accelerators(t), Accelerators(e.source))
                    << where << " -> " << t.toStdString();
                // A menu entry, button or status line, not the end of a help text.
                for (const char *ellipsis : {"...", "…"}) {
                    if (e.source.size() < 80 && e.source.endsWith(ellipsis)) {
                        EXPECT_TRUE(t.endsWith(ellipsis)) << where << " -> " << t.toStdString();
                    }
                }
            }
        }
    }
}

// The window says the relay checks' texts itself, to translate them; in
// English they are the command line's, word for word.
TEST(Translations, TheWindowsRelayTextsAreTheHostsInEnglish) {
    for (const std::string why : {"nothing there answers as kelvo-relay", "nothing listens there",
                                  "not an IPv4 address and port", "cannot reach it: refused"}) {
        EXPECT_EQ(kelvo::ui::NoRelayMessage("127.0.0.1", 9999, why).toStdString(),
                  kelvo::host::NoRelayText("127.0.0.1", 9999, why));
    }
    for (const std::string status : {"", "searching on eth0"}) {
        EXPECT_EQ(kelvo::ui::NothingFoundMessage("127.0.0.2", 9, status).toStdString(),
                  kelvo::host::NothingFoundText("127.0.0.2", 9, status));
    }
}
