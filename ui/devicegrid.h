// The window's device grid: paints the device rows, turns mouse and keys into
// what they mean for a device, and keeps the device the user chose current
// through searches, sorts and filtering.
//
// Threading: user-interface thread only.
#ifndef KELVO_UI_DEVICEGRID_H
#define KELVO_UI_DEVICEGRID_H

#include "devicemodel.h"

#include <QTableView>

class QSettings;

namespace kelvo::ui {

// The colours of a device cell: the row's background (selection, new-device
// tint or plain) and its text, a link's in the MAC and web IP cells; the text
// is always readable on the background.
struct CellColors {
    QColor background, text;
};
// An offline device's texts are greyed, still readable.
CellColors GridCellColors(const QPalette &palette, bool current, bool newMark, bool link,
                          bool offline = false);
// The background of a device that was not in the previous search.
QColor NewDeviceColor(const QPalette &palette);

class TDeviceGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDeviceGrid(QWidget *parent = nullptr);

    // The devices and the filter in front of them; the grid shows the filter.
    void SetDevices(TDeviceModel *devices, TDeviceFilter *filter);
    TDeviceModel *Devices() const { return devices; }

    // Rows are numbered as the user sees them: 1 is the first row shown.
    int CurrentRow() const;
    // Makes a row current as the user's choice, which then stays current
    // through searches, sorts and filtering.
    void SetCurrentRow(int row);
    int RowCount() const;
    // The DeviceTable index of the device shown in `row`, or -1.
    int FindDeviceByRow(int row) const;
    // The text of a cell as shown (row 1 is the first row).
    QString CellText(int row, int column) const;
    // Shows only the devices matching `text` (all for an empty one); the
    // chosen device stays current when it is among them.
    void SetFilterText(const QString &text);

    // The grid's handlers.
    void StringGridDrawCell(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const;
    void StringGridMouseMove(const QPoint &pos);
    void StringGridMouseDown(Qt::MouseButton button, int row, int column, const QPoint &globalPos);
    void StringGridDblClick();
    void StringGridKeyDown(int key);
    void HandleGridClick();
    // Whether a click on the cell under the pointer opens the detail dialog
    // (the MAC link) rather than the web page (the IP link).
    bool clickOpensDetail = false;

    // The selected rows' cells, tab-separated, one line per row; the state
    // as a last cell when one of them has one.
    QString SelectedRowsText() const;
    // The tool tip over the grid: what changed on a changed device, a
    // cell's whole text when it is cut short, otherwise the grid's hint.
    QString StringGridHint(const QPoint &pos) const;

    // The column widths and the sort order, kept across runs. What another
    // version or a hand edit left is taken only when it makes sense.
    void SaveLayout(QSettings &settings) const;
    void RestoreLayout(const QSettings &settings);

signals:
    // A device was opened: by a double-click or Enter (column 0: its
    // details), or by a click on a link cell (0 the details, 2 the web page).
    void DeviceActivated(qvudps_module *record, int column);
    // A header was clicked; the owner decides whether the list may be sorted.
    void HeaderClicked(int column);
    // The context menu is wanted at a screen position.
    void MenuRequested(const QPoint &globalPos);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowSortOrder();
    // Puts the current row back on the chosen device after the rows changed;
    // until the user chose one, the first row is current and in view.
    void KeepChosenRow();
    void MoveCurrentRow(int row);
    void NoteChosenRow(int row);
    qvudps_module *RecordAtRow(int row) const;

    TDeviceModel *devices = nullptr;
    TDeviceFilter *filter = nullptr;
    // The device that stays current, and whether the user chose one yet.
    QByteArray keepMac;
    bool rowChosen = false;
    // Above 0 while the grid itself moves the current row.
    int ownRowChange = 0;
};

} // namespace kelvo::ui

#endif
