// The devices of the last search as a table model for the window's grid, and
// the filter that narrows it to the rows matching a typed text.
//
// Threading: user-interface thread only. The records belong to the discovery
// library (or to the window's copies during a search) and stay valid until
// the next search starts; the model only points at them.
#ifndef KELVO_UI_DEVICEMODEL_H
#define KELVO_UI_DEVICEMODEL_H

#include "devicelist.h"
#include "watch.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace kelvo::ui {

class TDeviceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What the grid needs beyond the texts.
    enum Role {
        LinkRole = Qt::UserRole + 1, // the cell opens something with one click
        NewMarkRole,                 // the device was not in the previous search
        DeviceIndexRole,             // the row's index in DeviceTable, -1 for none
        AbsentRole,                  // the device did not answer the last search
        OfflineRole,                 // ...nor the ones before: drawn greyed
    };

    explicit TDeviceModel(QObject *parent = nullptr);

    // The last search's devices, sorted; entries valid up to deviceCount.
    std::vector<DeviceEntry> DeviceTable;
    int deviceCount = 0;
    // The "<mac>-<ip>" keys of the rows last filled.
    QStringList seenDevices;
    int sortColumn = 2;
    // A second choice of the sort column reverses the order.
    bool sortDescending = false;
    // The devices of this run as the watch sees them, for the state texts
    // (last seen, what changed); null until the first search.
    const std::map<QString, kelvo::watch::Device> *tracked = nullptr;

    // At least one row: with no devices the grid shows one empty row.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Sorts DeviceTable itself, so that its order is the grid's.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Forgets every row (the records stay the caller's).
    void ClearDeviceGrid();
    // Takes the first `count` entries as the list: remembers their keys for the
    // next search's mark, then shows them.
    void FillDeviceGrid();
    // Shows the entries up to deviceCount again, sorted by sortColumn.
    void SortAndShow();
    // Sorts by `column` (0 to 4), reversing when it is the sort column already.
    void SortBy(int column);
    // A record's texts changed in place (a name came in).
    void RecordChanged(int index);
    // The entry holding `record`, or -1.
    int IndexOf(const qvudps_module *record) const;
    // The State column's text of entry `index` (in English for the saved
    // lists, which scripts read), and what its tool tip adds.
    QString StateText(int index, bool translated = true) const;
    QString StateHint(int index) const;
    // Whether entry `index` shows `text` in its MAC, name, IP, type or state,
    // without regard to case.
    bool Matches(int index, const QString &text) const;

signals:
    // The sort column or order changed.
    void SortOrderChanged();

private:
    // What the filter looks in, per entry: the four texts in lower case,
    // built when a filter first needs them after the rows changed.
    mutable std::vector<QString> filterTexts;
    void ForgetFilterTexts();
};

// The rows whose MAC, name, IP or type contain a text, without regard to case;
// all rows while the text is empty.
class TDeviceFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TDeviceFilter(TDeviceModel *model, QObject *parent = nullptr);
    void SetText(const QString &text);
    QString Text() const { return text; }
    bool Active() const { return !text.isEmpty(); }
    // Devices shown (not counting the empty row of an empty list).
    int ShownCount() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    TDeviceModel *devices;
    QString text;
};

} // namespace kelvo::ui

#endif
