#include "authform.h"

#include "accessiblenames.h"
#include "detaillogic.h"
#include "hostsecrets.h"
#include "ui_authform.h"
#include "uihooks.h"

#include <algorithm>

namespace kelvo::ui {

TAuthForm::TAuthForm(QWidget *owner) : QDialog(owner), ui(new Ui::AuthForm) {
    // From the first password on, the process leaves no core dump.
    kelvo::host::KeepSecretsOutOfDumps();
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

QString TakePassword(TAuthForm &dialog) {
    QString text = dialog.ui->PassEdit->text();
    dialog.ui->PassEdit->clear();
    return text;
}

void WipeText(QString &text) {
    if (!text.isEmpty()) // data() detaches a shared copy first: only ours is touched
        std::fill(text.data(), text.data() + text.size(), QChar());
    text.clear();
}

bool AskDeviceCredentials(QWidget *owner, const qvudps_module &record) {
    if (!record.setup_auth_required)
        return false;
    if (PasswordRefusedForDirectSearch(owner))
        return true;
    TAuthForm dialog(owner);
    if (Hooks().ExecDialog(dialog) != QDialog::Accepted)
        return true;
    QString password = TakePassword(dialog);
    const SetupKey key = SetupKeyFromCredentials(dialog.ui->UserEdit->text(), password);
    WipeText(password);
    qvudps_set_setup_tea_keys(key.k0, key.k1, key.k2, key.k3);
    return false;
}

} // namespace kelvo::ui
