// "Details": every setting of one device, edited and written to it with one
// UDP setup; also restores its defaults and opens its web page or terminal.
#ifndef KELVO_UI_DETAILFORM_H
#define KELVO_UI_DETAILFORM_H

#include "qvudps.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <string>

class QCheckBox;

namespace Ui {
class DetailForm;
}

namespace kelvo::ui {

class TDetailForm : public QDialog {
    Q_OBJECT
public:
    // `record` is the device's stored record from the last search (the
    // dialog writes the accepted values into it); `spinnerIndex` is the main
    // window's spinner, shared by every progress text.
    TDetailForm(QWidget *owner, qvudps_module *record, int *spinnerIndex);
    ~TDetailForm() override;

    // True once a setup has finished; the main window then searches again.
    bool settingsApplied = false;
    int setupTicks = 0;

    QTimer *SetupTimer;
    Ui::DetailForm *ui;

    // Makes the address checks use the adapter for a device that is to get
    // the given address (set by the main window; may be empty).
    std::function<void(const std::string &newIp)> chooseAdapter;

    void FormShow();
    void SaveBitBtnClick();
    void SetupTimerTimer();
    void DefaultsBitBtnClick();
    void WEBBitBtnClick();
    void TCPSetupButtonClick();
    void CancelBitBtnClick();
    void DHCPCheckBoxClick();
    void TCPCheckBoxClick();
    void EnableFilterCheckBoxClick();
    void SendDeviceSettings();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The apply action after the address test: credentials, record, setup.
    void FinishApply(std::uint16_t port);
    void SetStatus(const QString &text);

    qvudps_module *deviceRecord;
    int *spinner;
    bool shown_ = false;
    // The texts the fields showed when the dialog was filled.
    QString shownName, shownIp, shownMask;
};

} // namespace kelvo::ui

#endif
