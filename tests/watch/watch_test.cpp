#include "watch.h"

#include "devicelistformat.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cstring>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace kelvo::watch;

// A record as a search gives it; the token changes with every search.
QJsonObject Dev(const QString &mac, const QString &ip, bool dhcp = false) {
    static int token = 0;
    return QJsonObject{{"mac", mac},
                       {"name", "dev"},
                       {"ip", ip},
                       {"port", 10001},
                       {"flags", QJsonObject{{"dhcp_enabled", dhcp}}},
                       {"raw", QJsonObject{{"token", QString::number(++token)}}}};
}

const QString A = "02:00:00:00:00:0A";
const QString B = "02:00:00:00:00:0B";

QString Names(const std::vector<Event> &events) {
    QStringList words;
    for (const auto &e : events) {
        QString word = EventName(e.kind) + " " + e.mac.right(1);
        for (const auto &c : e.changes)
            word += " " + c.field + "=" + c.before + ">" + c.after;
        words << word;
    }
    return words.join("; ");
}

struct TrackerCase {
    const char *what;
    std::vector<QJsonObject> seed;
    std::vector<std::vector<QJsonObject>> searches;
    std::vector<QString> events; // per search
    Summary summary;
    State finalA;
};

TEST(WatchTracker, EventsAndStates) {
    const std::vector<TrackerCase> cases{
        {"appears, changes its IP, goes silent, comes back",
         {},
         {{}, {Dev(A, "10.0.0.1")}, {Dev(A, "10.0.0.2")}, {}, {}, {}, {}, {Dev(A, "10.0.0.2")}},
         {"", "appeared A", "changed A ip=10.0.0.1>10.0.0.2", "", "", "gone A", "", "back A"},
         {},
         State::Changed},
        {"comes back different: back, then changed",
         {},
         {{Dev(A, "10.0.0.1")}, {}, {}, {}, {Dev(A, "10.0.0.1", true)}},
         {"appeared A", "", "", "gone A", "back A; changed A dhcp=false>true"},
         {1, 0, 0},
         State::Changed},
        {"a known device that never answers is missing, never gone",
         {Dev(A, "10.0.0.1")},
         {{Dev(B, "10.0.0.9")}, {Dev(B, "10.0.0.9")}, {Dev(B, "10.0.0.9")}, {Dev(B, "10.0.0.9")}},
         {"appeared B", "", "", ""},
         {1, 0, 1},
         State::Normal},
        {"a known device answering as known: no event; differently: changed",
         {Dev(A, "10.0.0.1"), Dev(B, "10.0.0.9")},
         {{Dev(A, "10.0.0.1"), Dev(B, "10.0.0.8")}, {Dev(A, "10.0.0.1"), Dev(B, "10.0.0.8")}},
         {"changed B ip=10.0.0.9>10.0.0.8", ""},
         {0, 1, 0},
         State::Normal},
        {"a new token or a MAC heard twice is no change",
         {},
         {{Dev(A, "10.0.0.1"), Dev(A, "10.0.0.1")}, {Dev(A, "10.0.0.1")}},
         {"appeared A", ""},
         {1, 0, 0},
         State::New},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Inventory known;
        known.Record(c.seed, QDateTime::currentDateTimeUtc().addDays(-1));
        Tracker tracker;
        tracker.Seed(known);
        auto now = QDateTime::currentDateTimeUtc();
        for (std::size_t i = 0; i < c.searches.size(); ++i) {
            now = now.addSecs(15);
            EXPECT_EQ(Names(tracker.Search(c.searches[i], now)), c.events[i]) << "search " << i;
        }
        const auto first = tracker.FirstSearch();
        EXPECT_EQ(first.added, c.summary.added);
        EXPECT_EQ(first.changed, c.summary.changed);
        EXPECT_EQ(first.missing, c.summary.missing);
        if (tracker.Devices().count(A)) {
            EXPECT_EQ(tracker.Devices().at(A).state, c.finalA);
        }
    }
}

TEST(WatchCompare, AddedChangedMissing) {
    const auto result = Compare({Dev(A, "10.0.0.1"), Dev(B, "10.0.0.9")},
                                {Dev(A, "10.0.0.2"), Dev("C", "1.2.3.4")});
    ASSERT_EQ(result.added.size(), 1u);
    EXPECT_EQ(result.added[0]["mac"], "C");
    EXPECT_EQ(Names(result.changed), "changed A ip=10.0.0.1>10.0.0.2");
    ASSERT_EQ(result.missing.size(), 1u);
    EXPECT_EQ(result.missing[0]["mac"], B);
    EXPECT_TRUE(Compare({Dev(A, "10.0.0.1")}, {Dev(A, "10.0.0.1")}).Empty());
    EXPECT_EQ(ChangesText(result.changed[0].changes), "ip 10.0.0.1 → 10.0.0.2");
}

TEST(WatchCompare, SavedSearchListReadsBackAsTheSameDevices) {
    QTemporaryDir dir;
    qvudps_module m{};
    std::strcpy(m.mac, "02:00:00:00:00:01");
    std::strcpy(m.ip, "10.0.0.1");
    m.dhcp_enabled = 1;
    const auto path = dir.filePath("list.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        QByteArray::fromStdString(kelvo::host::FormatDevices({m}, kelvo::host::Format::Json)));
    file.close();
    std::vector<QJsonObject> saved;
    QString error;
    ASSERT_TRUE(ReadDeviceList(path, &saved, &error)) << error.toStdString();
    EXPECT_TRUE(Compare(saved, {FieldsOf(m)}).Empty());
    EXPECT_FALSE(ReadDeviceList(dir.filePath("none.json"), &saved, &error));
    EXPECT_TRUE(error.contains("none.json"));
}

// Owner-only is checked where modes exist; Windows keeps it in the file's
// access list.
unsigned Mode(const QString &path) {
#ifdef _WIN32
    return QFileInfo(path).isDir() ? 0700u : 0600u;
#else
    struct stat st {};
    ::lstat(path.toLocal8Bit().constData(), &st);
    return st.st_mode & 07777;
#endif
}

TEST(WatchInventory, RoundTripOwnerOnlyAndMergedWithAnotherWriter) {
    QTemporaryDir dir;
    const auto path = dir.filePath("sub/inventory.json");
    const auto then = QDateTime::fromString("2026-01-02T03:04:05Z", Qt::ISODate);
    Inventory window;
    window.Record({Dev(B, "10.0.0.9")}, then);
    QString error;
    ASSERT_TRUE(window.Save(path, &error)) << error.toStdString();
    Inventory cli;
    cli.Record({Dev(A, "10.0.0.1")}, then.addSecs(60));
    ASSERT_TRUE(cli.Save(path, &error)) << error.toStdString();
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(Mode(dir.filePath("sub")), 0700u);
    Inventory loaded;
    ASSERT_TRUE(loaded.Load(path, &error)) << error.toStdString();
    ASSERT_EQ(loaded.Devices().size(), 2u);
    EXPECT_EQ(loaded.Devices().at(B).firstSeen, then);
    EXPECT_EQ(loaded.Devices().at(A).lastSeen, then.addSecs(60));
    EXPECT_EQ(loaded.Devices().at(A).fields, cli.Devices().at(A).fields);
}

TEST(WatchInventory, DamagedOrLinkedFileIsReportedAndKept) {
    QTemporaryDir dir;
    const auto target = dir.filePath("elsewhere.json");
    const auto link = dir.filePath("link.json");
    Inventory some;
    some.Record({Dev(A, "10.0.0.1")}, QDateTime::currentDateTimeUtc());
    QString error;
    ASSERT_TRUE(some.Save(target, &error));
#ifndef _WIN32
    ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), link.toLocal8Bit().constData()), 0);
    EXPECT_FALSE(some.Save(link, &error));
    EXPECT_TRUE(error.contains("symbolic link")) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
#endif

    for (const char *damaged : {"{\"version\":1,\"devi", "{\"version\":2,\"devices\":[]}",
                                "[1,2,3]", "{\"version\":1,\"devices\":[{\"mac\":\"x\"}]}"}) {
        SCOPED_TRACE(damaged);
        const auto path = dir.filePath("damaged.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged);
        file.close();
        Inventory inventory;
        error.clear();
        EXPECT_FALSE(inventory.Load(path, &error));
        EXPECT_TRUE(error.contains("kept")) << error.toStdString();
        EXPECT_TRUE(inventory.Devices().empty());
        inventory.Record({Dev(A, "10.0.0.1")}, QDateTime::currentDateTimeUtc());
        EXPECT_FALSE(inventory.Save(path, &error));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray(damaged));
        file.close();
    }
}

TEST(WatchInventory, DefaultPathIsTheWindowsDataFolder) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    QCoreApplication::setApplicationName("kelvo-cli");
    const auto path = Inventory::DefaultPath();
#ifdef _WIN32
    EXPECT_TRUE(path.endsWith("/Marvane/Kelvo/inventory.json")) << path.toStdString();
    return; // the real user's folder: not written by a test
#endif
    EXPECT_EQ(path, dir.path() + "/Marvane/Kelvo/inventory.json");
    EXPECT_EQ(QCoreApplication::applicationName(), "kelvo-cli");
    Inventory inventory;
    QString error;
    ASSERT_TRUE(inventory.Save(Inventory::DefaultPath(), &error)) << error.toStdString();
    EXPECT_EQ(Mode(dir.path() + "/Marvane/Kelvo"), 0700u);
}

TEST(WatchEvent, JsonLine) {
    Event e;
    e.time = QDateTime::fromString("2026-01-02T03:04:05Z", Qt::ISODate);
    e.kind = EventKind::Changed;
    e.mac = A;
    e.fields = Dev(A, "10.0.0.2");
    e.changes = {{"ip", "10.0.0.1", "10.0.0.2"}};
    const auto line = QJsonDocument(EventJson(e)).toJson(QJsonDocument::Compact);
    EXPECT_TRUE(line.contains(R"("changes":{"ip":["10.0.0.1","10.0.0.2"]})")) << line.data();
    EXPECT_TRUE(line.contains(R"("event":"changed")"));
    EXPECT_TRUE(line.contains(R"("time":"2026-01-02T03:04:05Z")"));
    EXPECT_TRUE(line.contains(R"("ip":"10.0.0.2")"));
}

} // namespace
