#include "devicemodel.h"

#include <cstring>

namespace kelvo::ui {

TDeviceModel::TDeviceModel(QObject *parent) : QAbstractTableModel(parent) {
    DeviceTable.assign(kMaxDevices, DeviceEntry{});
}

int TDeviceModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : std::max(deviceCount, 1);
}

int TDeviceModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kGridColumnCount;
}

QString TDeviceModel::StateText(int index, bool translated) const {
    if (index < 0 || index >= deviceCount || !DeviceTable[index].record)
        return {};
    const auto say = [translated](const char *text) {
        return translated ? tr(text) : QString(text);
    };
    switch (DeviceTable[index].state) {
    case RowState::New:
        return say(QT_TR_NOOP("New"));
    case RowState::Changed:
        return say(QT_TR_NOOP("Changed"));
    case RowState::Offline: {
        const kelvo::watch::Device *d = nullptr;
        if (tracked) {
            const auto it = tracked->find(RecordText(DeviceTable[index].record->mac));
            d = it == tracked->end() ? nullptr : &it->second;
        }
        return d ? say(QT_TR_NOOP("Offline, last seen %1"))
                       .arg(d->lastSeen.toLocalTime().toString("HH:mm:ss"))
                 : say(QT_TR_NOOP("Offline"));
    }
    case RowState::Normal:
        break;
    }
    return {};
}

QString TDeviceModel::StateHint(int index) const {
    if (index < 0 || index >= deviceCount || !DeviceTable[index].record || !tracked ||
        DeviceTable[index].state != RowState::Changed)
        return {};
    const auto it = tracked->find(RecordText(DeviceTable[index].record->mac));
    return it == tracked->end() ? QString() : kelvo::watch::ChangesText(it->second.changes);
}

QVariant TDeviceModel::data(const QModelIndex &index, int role) const {
    const int row = index.row();
    const bool device = index.isValid() && row < deviceCount && DeviceTable[row].record;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        if (device && index.column() == kStateColumn)
            return StateText(row);
        return device ? RowTexts(*DeviceTable[row].record).value(index.column()) : QString();
    case Qt::ToolTipRole:
        return device ? StateHint(row) : QString();
    case LinkRole:
        // A device that did not answer is offered nothing that would send to it.
        return device && !DeviceTable[row].absent &&
               (index.column() == 0 ||
                (index.column() == 2 && DeviceTable[row].record->web_supported));
    case NewMarkRole:
        return device && DeviceTable[row].isNew != 0;
    case AbsentRole:
        return device && DeviceTable[row].absent;
    case OfflineRole:
        return device && DeviceTable[row].state == RowState::Offline;
    case DeviceIndexRole:
        return device ? row : -1;
    default:
        return {};
    }
}

QVariant TDeviceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == kStateColumn && role == Qt::DisplayRole)
        return tr("State");
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return GridHeaders(sortColumn).value(section);
    if (role == Qt::ToolTipRole && section <= 4)
        return tr("Click, or press Ctrl+%1, to sort by this column; again to reverse")
            .arg(section + 1);
    return {};
}

void TDeviceModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column > 4)
        return;
    sortColumn = column;
    sortDescending = order == Qt::DescendingOrder;
    SortAndShow();
    emit headerDataChanged(Qt::Horizontal, 0, kGridColumnCount - 1);
    emit SortOrderChanged();
}

void TDeviceModel::SortBy(int column) {
    if (column < 0 || column > 4)
        return;
    const bool reverse = column == sortColumn && !sortDescending;
    sort(column, reverse ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TDeviceModel::ClearDeviceGrid() {
    beginResetModel();
    ForgetFilterTexts();
    deviceCount = 0;
    endResetModel();
}

void TDeviceModel::FillDeviceGrid() {
    seenDevices.clear();
    seenDevices.reserve(deviceCount);
    for (int i = 0; i < deviceCount; ++i)
        seenDevices.append(DeviceKey(*DeviceTable[i].record));
    beginResetModel();
    ForgetFilterTexts();
    endResetModel();
}

void TDeviceModel::SortAndShow() {
    beginResetModel();
    ForgetFilterTexts();
    SortDeviceTable(DeviceTable, deviceCount, sortColumn, sortDescending);
    endResetModel();
}

void TDeviceModel::RecordChanged(int index) {
    ForgetFilterTexts();
    if (index >= 0 && index < deviceCount)
        emit dataChanged(this->index(index, 0), this->index(index, kGridColumnCount - 1));
}

int TDeviceModel::IndexOf(const qvudps_module *record) const {
    for (int i = 0; record && i < deviceCount; ++i) {
        if (DeviceTable[i].record == record)
            return i;
    }
    return -1;
}

bool TDeviceModel::Matches(int index, const QString &text) const {
    if (index < 0 || index >= deviceCount || !DeviceTable[index].record)
        return false;
    if (filterTexts.size() != static_cast<std::size_t>(deviceCount)) {
        // Built once per list rather than four conversions per row and
        // keystroke; a separator no typed text holds keeps the fields apart.
        filterTexts.resize(static_cast<std::size_t>(deviceCount));
        for (int i = 0; i < deviceCount; ++i) {
            const qvudps_module &m = *DeviceTable[i].record;
            filterTexts[i] =
                (RecordText(m.mac) + '\n' + RecordText(m.name) + '\n' + RecordText(m.ip) + '\n' +
                 RecordText(m.type_name) + '\n' + StateText(i))
                    .toLower();
        }
    }
    return filterTexts[index].contains(text, Qt::CaseInsensitive);
}

void TDeviceModel::ForgetFilterTexts() {
    filterTexts.clear();
}

TDeviceFilter::TDeviceFilter(TDeviceModel *model, QObject *parent)
    : QSortFilterProxyModel(parent), devices(model) {
    setSourceModel(model);
    // The model sorts itself; the filter only leaves rows out.
    setDynamicSortFilter(false);
}

void TDeviceFilter::SetText(const QString &newText) {
    const QString trimmed = newText.trimmed().toLower();
    if (trimmed == text)
        return;
    text = trimmed;
    // One layout change rather than a removal per gap: at plant size a
    // text can leave thousands of gaps.
    invalidate();
}

int TDeviceFilter::ShownCount() const {
    return devices->deviceCount == 0 ? 0 : rowCount();
}

bool TDeviceFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const {
    if (text.isEmpty())
        return true;
    return devices->Matches(sourceRow, text);
}

} // namespace kelvo::ui
