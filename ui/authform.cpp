#include "authform.h"

#include "accessiblenames.h"
#include "detaillogic.h"
#include "ui_authform.h"
#include "uihooks.h"

namespace kelvo::ui {

TAuthForm::TAuthForm(QWidget *owner) : QDialog(owner), ui(new Ui::AuthForm) {
    ui->setupUi(this);
    FixDialogSize(this, QSize(282, 154));
    ui->PassEdit->setStyleSheet("lineedit-password-character: 42;");
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ui->UserLabel->setBuddy(ui->UserEdit);
    ui->PassLabel->setBuddy(ui->PassEdit);
    kelvo::terminal::NameControls(this);
}

TAuthForm::~TAuthForm() {
    delete ui;
}

bool AskDeviceCredentials(QWidget *owner, const qvudps_module &record) {
    if (!record.setup_auth_required)
        return false;
    TAuthForm dialog(owner);
    if (Hooks().ExecDialog(dialog) != QDialog::Accepted)
        return true;
    const SetupKey key =
        SetupKeyFromCredentials(dialog.ui->UserEdit->text(), dialog.ui->PassEdit->text());
    qvudps_set_setup_tea_keys(key.k0, key.k1, key.k2, key.k3);
    return false;
}

} // namespace kelvo::ui
