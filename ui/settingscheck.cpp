// The check after a setup: the search that follows an apply or "Load default
// values" tells whether the device took what it was sent.
#include "mainform.h"
#include "uihooks.h"

namespace kelvo::ui {

void TMainForm::ExpectSettings(const qvudps_module &sent) {
    sentSettings = sent;
}

void TMainForm::CheckSettingsTaken() {
    if (!sentSettings)
        return;
    const qvudps_module sent = *sentSettings;
    sentSettings.reset();
    const QString mac = RecordText((sent).mac);
    const qvudps_module *now = nullptr;
    for (int i = 0; i < deviceModel->deviceCount && !now; ++i) {
        if (!deviceModel->DeviceTable[i].absent &&
            RecordText(deviceModel->DeviceTable[i].record->mac) == mac)
            now = deviceModel->DeviceTable[i].record;
    }
    const QString password = sent.setup_auth_required ? tr(" Check the password.") : "";
    QString message;
    if (now && !sent.load_defaults && SettingsNotTaken(sent, *now).isEmpty()) {
        // The dialog closed and a search ran; only this says it worked.
        const QString name = RecordText((sent).name);
        SetStatus(statusText + tr(". Settings applied to %1; confirmed by a new search")
                                   .arg(name.isEmpty() ? mac : QString("%1 (%2)").arg(name, mac)));
        return;
    }
    if (!now) {
        message = tr("The device %1 did not answer the search after the setup.").arg(mac);
    } else if (sent.load_defaults) {
        // The defaults themselves are the device's to know: settings that did
        // not change may already have been the defaults, so this is only said
        // in the status line.
        if (sent.setup_auth_required && SettingsNotTaken(sent, *now).isEmpty())
            SetStatus(statusText +
                      tr(". The device %1 reports the same settings as "
                         "before; unless they were its defaults already, it "
                         "did not take the default values.")
                          .arg(mac) +
                      password);
        return;
    } else if (const QStringList differ = SettingsNotTaken(sent, *now); !differ.isEmpty()) {
        message =
            tr("The device %1 did not take the new settings (%2).").arg(mac, differ.join(tr(", ")));
    }
    if (message.isEmpty())
        return;
    SetStatus(statusText + ". " + message + password);
    Hooks().Error(this, message + password);
}

} // namespace kelvo::ui
