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
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TDeviceModel::data(const QModelIndex &index, int role) const {
    const int row = index.row();
    const bool device = index.isValid() && row < deviceCount && DeviceTable[row].record;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return device ? RowTexts(*DeviceTable[row].record).value(index.column()) : QString();
    case LinkRole:
        return device && (index.column() == 0 ||
                          (index.column() == 2 && DeviceTable[row].record->web_supported));
    case NewMarkRole:
        return device && newMarkDelay == 0 && DeviceTable[row].isNew != 0;
    case DeviceIndexRole:
        return device ? row : -1;
    default:
        return {};
    }
}

QVariant TDeviceModel::headerData(int section, Qt::Orientation orientation, int role) const {
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
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
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
        emit dataChanged(this->index(index, 0), this->index(index, kColumnCount - 1));
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
            filterTexts[i] = (RecordText(m.mac) + '\n' + RecordText(m.name) + '\n' +
                              RecordText(m.ip) + '\n' + RecordText(m.type_name))
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
