// The program's window: finds the devices through the relay, lists them in
// the device grid and runs every action on a device.
//
// Threading: user-interface thread only. The discovery library searches and
// sets up on its own worker and is only polled from the timers here; the
// session's events arrive on this thread.
#ifndef KELVO_UI_MAINFORM_H
#define KELVO_UI_MAINFORM_H

#include "devicelist.h"
#include "hostadapter.h"
#include "ioxml.h"

#include <QMainWindow>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QMenu;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;

namespace Ui {
class MainForm;
}

namespace kelvo::ui {

// Start-up choices that tests and the demo may change; the defaults are the
// program's own.
struct MainOptions {
    QString relayAddress = "127.0.0.1";
    int relayPort = 9999;
    // The MAC filter file; empty means the one beside the program.
    QString macFilterFile;
};

// The background of a device that was not in the previous search.
QColor NewDeviceColor(const QPalette &palette);

// The colours of a device cell: the row's background (selection, new-device
// tint or plain) and its text, a link's in the MAC and web IP cells; the text
// is always readable on the background.
struct CellColors {
    QColor background, text;
};
CellColors GridCellColors(const QPalette &palette, bool current, bool newMark, bool link);
// The web-site link's colour on the window.
QColor WebSiteLinkColor(const QPalette &palette);

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr, const MainOptions &options = MainOptions());
    ~TMainForm() override;

    Ui::MainForm *ui;
    QTimer *SearchTimer;
    QTimer *InitSearchTimer;
    QTimer *DefaultTimer;
    QTimer *XmlTimer;
    QMenu *PopupMenu;
    QAction *SaveDeviceList1; // "Save device list...", Ctrl+S
    QAction *CompareWithFile1 = nullptr;

    // The last search's devices, sorted; entries valid up to deviceCount.
    std::vector<DeviceEntry> DeviceTable;
    int deviceCount = 0;
    int selectedDevice = -1;
    QStringList seenDevices;
    int sortColumn = 2;
    bool searching = false;
    std::uint8_t newMarkDelay = 2;
    bool clickOpensDetail = false;
    int searchTicks = 0;
    int spinnerIndex = 0;
    int defaultTicks = 0;
    std::uint8_t uploadMode = 0; // 0 download, 1 upload, 2 compare

    QString AppVersion, AppName, FirmName, AppDescription, AppComments, WebSite, WindowTitle;

    std::unique_ptr<mvxapi::TIoXml> session;
    // The files chosen in the save and open choosers.
    QString SaveDialogFileName;
    QString OpenDialogFileName;

    // Where searches go (searchroute.cpp): the relay, or the library's own
    // broadcast once the user chose it because nothing listened on the relay's
    // address. Asked before every search.
    QString relayAddress;
    int relayPort = 9999;
    bool directSearch = false;
    QString relayStatus; // the relay's own word on where it can search, when it has one
    bool PrepareSearchRoute();
    QString NothingFoundHint() const;

    // This PC's adapters in a drop-down (adapterchoice.cpp); the address checks
    // use the one shown.
    QComboBox *AdapterComboBox = nullptr;
    std::vector<kelvo::host::AdapterEntry> adapters;
    bool adapterChosenByUser = false;
    void SetUpAdapterChoice();
    void ShowAdapter(int index);
    // `newIp`: the address the device is to get ("" while none is typed).
    void UseAdapterForDevice(const qvudps_module &record, const std::string &newIp = {});

    // Search flow.
    void FormShow();
    void InitSearchTimerTimer();
    void SearchBitBtnClick();
    void SearchTimerTimer();
    void AboutBitBtnClick();
    void WWWLabelClick();
    void LogoImageClick();

    // Device grid.
    void SetGridHeaders();
    void ClearDeviceGrid();
    void SortDeviceTable(int column);
    void FillDeviceGrid();
    int FindDeviceByRow(int row) const;
    void StringGridDrawCell(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index);
    void StringGridMouseMove(const QPoint &pos);
    void StringGridMouseDown(Qt::MouseButton button, int row, int column, const QPoint &globalPos);
    void StringGridDblClick();
    void StringGridKeyDown(int key);
    void HandleGridClick();
    // The grid row under the cursor's row index (row 1 is the first device).
    int CurrentRow() const;
    // Makes a row current as the user's choice, which then stays current
    // through searches and sorts.
    void SetCurrentRow(int row);
    int RowCount() const;

    // Device actions.
    void PopupMenuPopup();
    void EditParameters1Click();
    void OpeninWebbrowser1Click();
    void OpenTCPsetup1Click();
    void Loaddefaultvalues1Click();
    void DefaultTimerTimer();
    void ShowDetailDialog();

    // Configuration transfer.
    void DownloadPopupMenuClick();
    void UploadPopupMenuClick();
    // Writes the current list as CSV, or JSON for a ".json" name.
    void SaveDeviceListClick();
    // `compare`: download, then show how the device differs from a file.
    void StartTransfer(bool upload, bool compare = false);
    void XmlTimerTimer();
    void XmlOpenEvent(mvxapi::TSdkSimpleEventArgs *args);
    void XmlSetupEvent(mvxapi::TIoXmlSetupEventArgs *args);
    void XmlSetupSentEvent(mvxapi::TIoXmlSetupEventArgs *args);
    void XmlErrorEvent(mvxapi::TSdkErrorEventArgs *args);

    QString StatusText() const;
    // Status texts are announced to assistive technology; progress steps
    // (spinner, countdown) only shown.
    void SetStatus(const QString &text);
    void SetProgress(const QString &text);

    // Keyboard and selection.
    // A second click on the sort column's header reverses the order.
    bool sortDescending = false;
    // The selected rows' cells, tab-separated, one line per row.
    QString SelectedRowsText() const;
    void OpenPopupMenuForCurrentRow();
    // The tool tip over the grid: a cell's whole text when it is cut short,
    // otherwise the grid's hint.
    QString StringGridHint(const QPoint &pos) const;
    // After the search that follows an apply or "Load default values": says
    // so when the device reports other settings than it was sent.
    void CheckSettingsTaken();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormClose();
    QChar NextSpinner();
    void SetUpKeyboardAndNames();
    // The logo and icon for the palette and the screen's pixel density.
    void DrawArtwork();
    void ShowWebSiteLink();
    // The sort order and column widths the user left the grid with.
    void RestoreGridLayout();
    void ExpectSettings(const qvudps_module &sent);
    // The status text proper; a menu's status tip shows over it only while
    // the pointer is on an entry.
    QString statusText_;
    // The device that stays selected across a search or a sort.
    QString keepMac_;
    // What the last setup sent, until the next search has checked it.
    std::optional<qvudps_module> sentSettings_;
    // Rows from the records gathered so far while the search runs.
    void ShowPartialResult();
    // Writes the rows of DeviceTable, keeping the current device current.
    void FillRows();
    bool shown_ = false;
    // Copies of the records read during the running search; DeviceTable
    // points into them until the final list replaces them.
    std::vector<qvudps_module> partialRecords_;
    int partialCount_ = 0;
    // Devices of the previous result, for the "new" mark during a search.
    QSet<QString> previousKeys_;
    // Whether the user has chosen a device (keepMac_) yet.
    bool rowChosen_ = false;
    // Above 0 while the window itself moves the current row.
    int ownRowChange_ = 0;
    void MoveCurrentRow(int row);
    void NoteChosenRow(int row);
};

} // namespace kelvo::ui

#endif
