// The program's window: finds the devices through the relay, lists them in
// the device grid and runs every action on a device.
//
// Threading: user-interface thread only. The discovery library searches and
// sets up on its own worker and is only polled from the timers here; the
// session's events arrive on this thread.
#ifndef KELVO_UI_MAINFORM_H
#define KELVO_UI_MAINFORM_H

#include "devicegrid.h"
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
class QLabel;
class QMenu;

namespace Ui {
class MainForm;
}

namespace kelvo::ui {

class TWatching;

// Start-up choices that tests and the demo may change; the defaults are the
// program's own.
struct MainOptions {
    QString relayAddress = "127.0.0.1";
    int relayPort = 9999;
    // The MAC filter file; empty means the one beside the program.
    QString macFilterFile;
    // The window's language ("de", "zh_CN"...); empty means the user's locale.
    QString language;
};

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
    QMenu *SortByMenu;     // "Sort by", Ctrl+1 to Ctrl+5
    QAction *FilterAction; // Ctrl+F: to the filter field

    // The last search's devices (DeviceTable, deviceCount), their sort order
    // and "new" marks, and the rows the filter field leaves in the grid.
    TDeviceModel *deviceModel;
    TDeviceFilter *deviceFilter;
    // "Showing 3 of 70 devices" while a filter is typed.
    QLabel *FilterCountLabel;
    // The DeviceTable index of the device an action works on.
    int selectedDevice = -1;
    bool searching = false;
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
    // `ask`: offer the direct search when no relay answers; an automatic
    // refresh only says so, once.
    bool PrepareSearchRoute(bool ask = true);
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
    // A search asked for by the user, or an automatic refresh, which leaves
    // the rows in place until it ends.
    void StartSearch(bool automatic);
    // The automatic refresh, the rows' states and the history (watching.cpp).
    TWatching *watching = nullptr;
    // Whether DeviceTable entry `index` did not answer the last search; then
    // says that nothing is sent to it.
    bool RefuseAbsent(int index);
    void SearchTimerTimer();
    void AboutBitBtnClick();
    void WWWLabelClick();
    void LogoImageClick();

    // Device grid (the grid itself is ui->StringGrid).
    // A device opened in the grid: its details, or its web page (column 2).
    void StringGridDeviceActivated(qvudps_module *record, int column);
    // A header click or Ctrl+1 to Ctrl+5: sorts unless a search runs.
    void SortByColumn(int column);
    void FilterEditChange(const QString &text);
    void ShowFilterCount();

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
    // The shared spinner's next character.
    QChar NextSpinner();
    void SetUpKeyboardAndNames();
    void SetUpSortAndFilter();
    // The logo and icon for the palette and the screen's pixel density.
    void DrawArtwork();
    void ShowWebSiteLink();
    void ExpectSettings(const qvudps_module &sent);
    // The status text proper; a menu's status tip shows over it only while
    // the pointer is on an entry.
    QString statusText;
    // What the last setup sent, until the next search has checked it.
    std::optional<qvudps_module> sentSettings;
    // Rows from the records gathered so far while the search runs.
    void ShowPartialResult();
    bool shown = false;
    // Copies of the records read during the running search; DeviceTable
    // points into them until the final list replaces them.
    std::vector<qvudps_module> partialRecords;
    int partialCount = 0;
};

} // namespace kelvo::ui

#endif
