#include "devicegrid.h"

#include "readable.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <cstring>

namespace kelvo::ui {

namespace {

const QColor kLinkInCurrentRow(166, 202, 240);

// Hands the cell painting to the grid, which knows the devices.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TDeviceGrid *owner) : QStyledItemDelegate(owner), grid(owner) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        grid->StringGridDrawCell(painter, option, index);
    }

private:
    TDeviceGrid *grid;
};

QByteArray MacOf(const qvudps_module &m) {
    return QByteArray(m.mac, static_cast<qsizetype>(strnlen(m.mac, sizeof m.mac)));
}

} // namespace

QColor NewDeviceColor(const QPalette &palette) {
    // A tint of the selection colour over the row's own background, so the
    // mark shows on light and dark desktops alike.
    const QColor base = palette.color(QPalette::Base);
    const QColor tint = palette.color(QPalette::Highlight);
    const auto mix = [](int b, int t) { return (b * 4 + t) / 5; };
    return QColor(mix(base.red(), tint.red()), mix(base.green(), tint.green()),
                  mix(base.blue(), tint.blue()));
}

CellColors GridCellColors(const QPalette &palette, bool current, bool newMark, bool link,
                          bool offline) {
    CellColors c;
    c.background = current ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
    c.text = current ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);
    if (newMark && !current)
        c.background = NewDeviceColor(palette);
    if (link)
        c.text = current ? kLinkInCurrentRow : palette.color(QPalette::Highlight);
    if (offline) {
        // Halfway to the background: plainly greyed, and the contrast rule
        // below brings back what reading needs.
        const QColor t = c.text, b = c.background;
        c.text =
            QColor((t.red() + b.red()) / 2, (t.green() + b.green()) / 2, (t.blue() + b.blue()) / 2);
    }
    // The designed link colours were chosen for one light desktop; on others
    // they can vanish into the row, the selected one above all.
    c.text = ReadableOn(c.text, c.background);
    return c;
}

TDeviceGrid::TDeviceGrid(QWidget *parent) : QTableView(parent) {
    setItemDelegate(new GridDelegate(this));
    setMouseTracking(true);
    // Tab leaves the grid for the window's other controls; rows can be
    // selected together for copying.
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void TDeviceGrid::SetDevices(TDeviceModel *model, TDeviceFilter *rows) {
    devices = model;
    filter = rows;
    setModel(rows);
    connect(rows, &QAbstractItemModel::modelReset, this, &TDeviceGrid::KeepChosenRow);
    connect(model, &TDeviceModel::SortOrderChanged, this, &TDeviceGrid::ShowSortOrder);
    // A row made current by the keyboard or assistive technology is the
    // user's choice as much as a click.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (ownRowChange == 0 && current.isValid())
                    NoteChosenRow(current.row() + 1);
            });

    // The widths were chosen for a small design font; they grow with the
    // font in use so that a MAC address fits its column.
    const int widths[kGridColumnCount] = {105, 105, 88, 144, 51, 186, 150};
    const QFontMetrics metrics(font());
    const double grow = std::max(1.0, (metrics.horizontalAdvance("00:00:00:00:00:00") + 8) / 105.0);
    for (int c = 0; c < kGridColumnCount; ++c)
        setColumnWidth(c, static_cast<int>(widths[c] * grow + 0.5));
    ShowSortOrder();
    KeepChosenRow();
}

void TDeviceGrid::ShowSortOrder() {
    QHeaderView *header = horizontalHeader();
    header->setSortIndicatorShown(devices->sortColumn >= 0 && devices->sortColumn <= 4);
    header->setSortIndicator(devices->sortColumn,
                             devices->sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int TDeviceGrid::CurrentRow() const {
    const int r = currentIndex().row();
    return r < 0 ? 1 : r + 1;
}

void TDeviceGrid::SetCurrentRow(int row) {
    MoveCurrentRow(row);
    NoteChosenRow(CurrentRow());
}

int TDeviceGrid::RowCount() const {
    return filter->rowCount();
}

void TDeviceGrid::MoveCurrentRow(int row) {
    ++ownRowChange;
    const int col = std::max(0, currentIndex().column());
    const QModelIndex index = filter->index(std::max(row, 1) - 1, col);
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    --ownRowChange;
}

void TDeviceGrid::NoteChosenRow(int row) {
    if (const qvudps_module *m = RecordAtRow(row)) {
        keepMac = MacOf(*m);
        rowChosen = true;
    }
}

void TDeviceGrid::KeepChosenRow() {
    // The device the user chose stays current when rows are added, sorted or
    // replaced by the final list. Until the user chooses one, the first row
    // is current and in view, however the devices' answers were ordered:
    // Enter must never act on a device nobody picked.
    int keep = 1;
    for (int r = 1; rowChosen && r <= filter->rowCount(); ++r) {
        if (const qvudps_module *m = RecordAtRow(r); m && MacOf(*m) == keepMac) {
            keep = r;
            break;
        }
    }
    MoveCurrentRow(keep);
    if (!rowChosen)
        scrollToTop();
}

qvudps_module *TDeviceGrid::RecordAtRow(int row) const {
    const int index = FindDeviceByRow(row);
    return index < 0 ? nullptr : devices->DeviceTable[index].record;
}

int TDeviceGrid::FindDeviceByRow(int row) const {
    if (!filter || row < 1 || row > filter->rowCount())
        return -1;
    return filter->index(row - 1, 0).data(TDeviceModel::DeviceIndexRole).toInt();
}

QString TDeviceGrid::CellText(int row, int column) const {
    return filter->index(row - 1, column).data().toString();
}

void TDeviceGrid::SetFilterText(const QString &text) {
    filter->SetText(text);
    KeepChosenRow();
}

void TDeviceGrid::StringGridDrawCell(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const {
    const QRect r = option.rect;
    painter->save();
    if (index.data(TDeviceModel::DeviceIndexRole).toInt() < 0) {
        painter->fillRect(r, option.palette.color(QPalette::Base));
        painter->restore();
        return;
    }
    const bool current = index.row() == currentIndex().row();
    const bool link = index.data(TDeviceModel::LinkRole).toBool();
    const CellColors colors =
        GridCellColors(option.palette, current, index.data(TDeviceModel::NewMarkRole).toBool(),
                       link, index.data(TDeviceModel::OfflineRole).toBool());
    QFont font = option.font;
    font.setUnderline(link);
    // The background covers the grid line at the right edge as well.
    painter->setPen(colors.background);
    painter->drawLine(r.right(), r.top(), r.right(), r.bottom());
    painter->fillRect(r, colors.background);
    painter->setFont(font);
    painter->setPen(colors.text);
    // A text longer than its cell ends in an ellipsis; the tool tip has it all.
    const QRect textRect = r.adjusted(2, 2, -2, 0);
    painter->drawText(
        textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, textRect.width()));
    painter->restore();
}

void TDeviceGrid::StringGridMouseMove(const QPoint &pos) {
    const QModelIndex index = indexAt(pos);
    const bool link = index.data(TDeviceModel::LinkRole).toBool();
    viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    clickOpensDetail = link && index.column() == 0;
}

void TDeviceGrid::StringGridMouseDown(Qt::MouseButton button, int row, int column,
                                      const QPoint &globalPos) {
    if (row < 1) {
        if (row == 0)
            emit HeaderClicked(column);
        return;
    }
    SetCurrentRow(row);
    if (button == Qt::RightButton)
        emit MenuRequested(globalPos);
    else if (button == Qt::LeftButton)
        HandleGridClick();
}

void TDeviceGrid::HandleGridClick() {
    const int shown = filter->ShownCount();
    if (shown < CurrentRow())
        SetCurrentRow(shown > 0 ? shown : 1);
    if (viewport()->cursor().shape() != Qt::PointingHandCursor)
        return;
    if (clickOpensDetail) {
        StringGridDblClick();
        return;
    }
    qvudps_module *record = RecordAtRow(CurrentRow());
    if (record && record->web_supported)
        emit DeviceActivated(record, 2);
}

void TDeviceGrid::StringGridDblClick() {
    if (qvudps_module *record = RecordAtRow(CurrentRow()))
        emit DeviceActivated(record, 0);
}

void TDeviceGrid::StringGridKeyDown(int key) {
    if (key == 13)
        StringGridDblClick();
}

void TDeviceGrid::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        StringGridKeyDown(13);
    } else if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(SelectedRowsText());
    } else if (event->key() == Qt::Key_Menu ||
               (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        const QRect cell = visualRect(filter->index(CurrentRow() - 1, 0));
        emit MenuRequested(viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint()));
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDeviceGrid::mouseMoveEvent(QMouseEvent *event) {
    StringGridMouseMove(event->position().toPoint());
    QTableView::mouseMoveEvent(event);
}

void TDeviceGrid::mousePressEvent(QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    StringGridMouseMove(pos);
    const QModelIndex index = indexAt(pos);
    StringGridMouseDown(event->button(), index.isValid() ? index.row() + 1 : -1,
                        index.isValid() ? index.column() : -1, event->globalPosition().toPoint());
    event->accept();
}

void TDeviceGrid::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        StringGridDblClick();
    event->accept();
}

bool TDeviceGrid::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), StringGridHint(help->pos()), viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}

bool TDeviceGrid::eventFilter(QObject *watched, QEvent *event) {
    QHeaderView *header = horizontalHeader();
    // A press on a section sorts; one on a section's edge resizes it.
    if (watched == header->viewport() && event->type() == QEvent::MouseButtonPress &&
        header->viewport()->cursor().shape() != Qt::SplitHCursor) {
        auto *press = static_cast<QMouseEvent *>(event);
        StringGridMouseDown(press->button(), 0, header->logicalIndexAt(press->position().toPoint()),
                            press->globalPosition().toPoint());
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

QString TDeviceGrid::SelectedRowsText() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    // The six columns as always; the state only when there is one to tell,
    // then for every row so that the columns stay aligned.
    const bool state = std::any_of(rows.begin(), rows.end(), [](const QModelIndex &index) {
        return !index.siblingAtColumn(kStateColumn).data().toString().isEmpty();
    });
    QStringList lines;
    for (const QModelIndex &index : rows) {
        if (index.data(TDeviceModel::DeviceIndexRole).toInt() < 0)
            continue;
        QStringList cells;
        for (int c = 0; c < (state ? kGridColumnCount : kColumnCount); ++c)
            cells << index.siblingAtColumn(c).data().toString();
        lines << cells.join('\t');
    }
    return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

QString TDeviceGrid::StringGridHint(const QPoint &pos) const {
    const QModelIndex index = indexAt(pos);
    if (const QString changes = index.data(Qt::ToolTipRole).toString(); !changes.isEmpty())
        return changes;
    const QString text = index.data().toString();
    if (index.isValid() &&
        QFontMetrics(font()).horizontalAdvance(text) > visualRect(index).width() - 4)
        return text;
    return toolTip();
}

void TDeviceGrid::SaveLayout(QSettings &settings) const {
    settings.setValue("MainWindow/SortColumn", devices->sortColumn);
    settings.setValue("MainWindow/SortDescending", devices->sortDescending);
    QStringList widths;
    for (int c = 0; c < kGridColumnCount; ++c)
        widths << QString::number(columnWidth(c));
    settings.setValue("MainWindow/ColumnWidths", widths.join(','));
}

void TDeviceGrid::RestoreLayout(const QSettings &settings) {
    bool ok = false;
    const int column = settings.value("MainWindow/SortColumn").toInt(&ok);
    if (ok && column >= 0 && column <= 4)
        devices->sort(column, settings.value("MainWindow/SortDescending").toBool()
                                  ? Qt::DescendingOrder
                                  : Qt::AscendingOrder);
    const QStringList widths =
        settings.value("MainWindow/ColumnWidths").toString().split(',', Qt::SkipEmptyParts);
    // A layout from before the State column has its six widths.
    const auto count = static_cast<int>(widths.size());
    if (count != kColumnCount && count != kGridColumnCount)
        return;
    int width[kGridColumnCount];
    for (int c = 0; c < count; ++c) {
        width[c] = widths[c].toInt(&ok);
        if (!ok || width[c] < 10 || width[c] > 4000)
            return;
    }
    for (int c = 0; c < count; ++c)
        setColumnWidth(c, width[c]);
}

} // namespace kelvo::ui
