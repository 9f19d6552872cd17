// Watching the network from the window: the automatic refresh, each row's
// state over the searches of this run (new, changed, offline), the history of
// what happened, and the comparison with what earlier runs knew.
//
// Threading: user-interface thread only.
#ifndef KELVO_UI_WATCHING_H
#define KELVO_UI_WATCHING_H

#include "devicelist.h"
#include "watch.h"

#include <QObject>
#include <QString>
#include <map>
#include <vector>

class QAction;
class QCheckBox;
class QSpinBox;
class QTimer;

namespace kelvo::ui {

class TMainForm;

class TWatching : public QObject {
    Q_OBJECT
public:
    // The interval the user can choose, in seconds.
    static constexpr int kMinSeconds = 5;
    static constexpr int kMaxSeconds = 600;
    static constexpr int kDefaultSeconds = 15;
    // Longest time the inventory goes without its last sightings written.
    static constexpr int kSaveEverySeconds = 300;

    // Adds its controls to the window; loads the inventory of earlier runs.
    explicit TWatching(TMainForm *form);

    QCheckBox *RefreshCheckBox;
    QSpinBox *RefreshSpinBox;
    QTimer *RefreshTimer;
    QAction *HistoryAction;

    // Both remembered in the user's settings.
    void SetRefresh(bool on);
    void SetIntervalSeconds(int seconds);
    // Tests only: an interval below the one the user can choose.
    void SetIntervalForTest(int ms);

    // Whether something else holds the window: a search, a setup, a
    // transfer, a dialog or a menu. A refresh then is skipped, not queued.
    bool Busy() const;
    void RefreshTimerTimer();
    // Refreshes skipped because the window was busy.
    int skippedRefreshes = 0;
    // The running search is an automatic refresh.
    bool refreshing = false;

    // Before a search. An automatic refresh lets the library keep the names
    // of devices that answer as before, so that only new and changed ones
    // are asked over HTTP.
    void PrepareSearch(bool automatic);
    // After a search, with its records (MAC filter applied): the grid gets the
    // window's copies of them and of the devices that did not answer, each
    // with its state, and keeps its selection, scroll position, sort order
    // and filter. Returns what the status line adds ("" for nothing).
    QString SearchEnded(const std::vector<qvudps_module> &found);
    // The state of a device answering while a search still runs.
    RowState StateDuringSearch(const qvudps_module &m) const;

    // Writes what the inventory learnt since it was last saved.
    void SaveAtClose();

    // Every event of this run, oldest first.
    const std::vector<kelvo::watch::Event> &History() const { return history; }
    void HistoryClick();
    // CSV, or JSON (one object per event as "watch --format json" prints it)
    // for a ".json" name; asks for the file. Tells the outcome.
    void SaveHistoryClick();

    kelvo::watch::Tracker tracker;
    kelvo::watch::Inventory inventory;
    QString inventoryPath;

private:
    void SetUpControls();
    // "" when saved, else the status line's words for the failure.
    QString SaveInventory(const QDateTime &now);
    TMainForm *form;
    // The records the grid shows, the window's own: the library's are valid
    // only until the next search, and the silent devices are in none.
    std::vector<qvudps_module> rows;
    // The last answer of every device seen in this run, by MAC.
    std::map<QString, qvudps_module> lastAnswers;
    std::vector<kelvo::watch::Event> history;
    // Nothing known from earlier runs: the first search is where this one
    // starts from, not a list of new devices.
    bool firstIsBaseline = false;
    int searches = 0;
    QString inventoryError;
    QDateTime lastSave;
    bool unsaved = false;
};

// The text of an event in the history ("New", "Changed", "Offline", "Back"),
// and its details (what changed, the address).
QString EventText(kelvo::watch::EventKind kind);
QString EventDetails(const kelvo::watch::Event &event);

} // namespace kelvo::ui

#endif
