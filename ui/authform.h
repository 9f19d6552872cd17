// "Authorization": asks for the user name and password of a device, either
// for its setup key or for the HTTP credentials of a configuration transfer.
#ifndef KELVO_UI_AUTHFORM_H
#define KELVO_UI_AUTHFORM_H

#include "qvudps.h"

#include <QDialog>

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

// Before a setup of `record`: when the device requires authorised setup,
// asks for credentials (dialog owned by `owner`) and sets the library's setup
// key from them. Returns true when the calling action must stop (the dialog
// was cancelled), false to go on. User-interface thread.
bool AskDeviceCredentials(QWidget *owner, const qvudps_module &record);

} // namespace kelvo::ui

#endif
