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
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>
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
    std::uint8_t uploadMode = 0;

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
    bool PrepareSearchRoute();
    QString NothingFoundHint() const;

    // This PC's adapters in a drop-down (adapterchoice.cpp); the address checks
    // use the one shown.
    QComboBox *AdapterComboBox = nullptr;
    std::vector<kelvo::host::AdapterEntry> adapters;
    bool adapterChosenByUser = false;
    void SetUpAdapterChoice();
    void ShowAdapter(int index);
    void UseAdapterForDevice(const qvudps_module &record);

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
    void StartTransfer(bool upload);
    void XmlTimerTimer();
    void XmlOpenEvent(mvxapi::TSdkSimpleEventArgs *args);
    void XmlSetupEvent(mvxapi::TIoXmlSetupEventArgs *args);
    void XmlSetupSentEvent(mvxapi::TIoXmlSetupEventArgs *args);
    void XmlErrorEvent(mvxapi::TSdkErrorEventArgs *args);

    QString StatusText() const;
    void SetStatus(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormClose();
    QChar NextSpinner();
    bool shown_ = false;
};

} // namespace kelvo::ui

#endif
