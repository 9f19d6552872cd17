// "Authorization": asks for the user name and password of a device, either
// for its setup key or for the HTTP credentials of a configuration transfer.
#ifndef KELVO_UI_AUTHFORM_H
#define KELVO_UI_AUTHFORM_H

#include "qvudps.h"

#include <QDialog>

#include <string>

namespace Ui {
class AuthForm;
}

namespace kelvo::ui {

class TAuthForm : public QDialog {
    Q_OBJECT
public:
    explicit TAuthForm(QWidget *owner);
    ~TAuthForm() override;

    Ui::AuthForm *ui;
};

// The password entered in `dialog`, taken out of its edit so that the result
// is the only copy; the caller wipes it with WipeText once it is used.
QString TakePassword(TAuthForm &dialog);
// Overwrites the characters of `text` in place, then empties it.
void WipeText(QString &text);

// Before a setup of `record`: when the device requires authorised setup,
// asks for credentials (dialog owned by `owner`) and sets the library's setup
// key from them. Returns true when the calling action must stop (the dialog
// was cancelled), false to go on. User-interface thread.
bool AskDeviceCredentials(QWidget *owner, const qvudps_module &record);

// Where setups and passwords go: the relay at `address`:`port`, or, with
// `direct`, the library's own broadcast. The main window sets it.
void SetSetupRoute(const std::string &address, int port, bool direct);

// Before a setup leaves: true when the relay answers as one (or the user
// chose the library's own broadcast), else shows the no-relay message.
bool RelayReadyForSetup(QWidget *owner);

// The relay checks' texts in the window's language: in English the same as
// the host's (kelvo::host::NoRelayText, NothingFoundText), which the command
// line prints and which stay English there. The relay's own words stay as
// they are.
QString NoRelayMessage(const std::string &address, int port, const std::string &why);
QString NothingFoundMessage(const std::string &address, int port, const std::string &relayStatus);

// True, after telling the user, when the devices on show came from the
// library's own broadcast search: their replies may be forged, so none gets
// a password.
bool PasswordRefusedForDirectSearch(QWidget *owner);

} // namespace kelvo::ui

#endif
