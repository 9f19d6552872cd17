#include "aboutform.h"

#include "accessiblenames.h"
#include "artwork.h"
#include "kelvo_version.h"
#include "ui_aboutform.h"
#include "uihooks.h"

#include <QCoreApplication>

namespace kelvo::ui {

TAboutForm::TAboutForm(QWidget *owner, const QString &programName, const QString &version,
                       const QString &firmName, const QString &comments)
    : QDialog(owner), ui(new Ui::AboutForm) {
    ui->setupUi(this);
    ui->ProgramIcon->setPixmap(LoadBitmapResource("USER_ICON", palette(), devicePixelRatioF()));
    ui->ProductName->setText(programName);
    ui->Version->setText(version);
    ui->Copyright->setText(CopyrightText(firmName));
    ui->Comments->setText(comments);
    // Sized after the texts are in, so that the copyright line and its build
    // date fit on one line.
    FixDialogSize(this, QSize(314, 188));
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    ui->ProgramIcon->setAccessibleName(tr("%1 icon").arg(programName));
    kelvo::terminal::NameControls(this);
}

TAboutForm::~TAboutForm() {
    delete ui;
}

QString CopyrightText(const QString &firmName) {
    return QCoreApplication::translate("kelvo::ui", "Copyright (c) 2024-2026 %1, built %2")
        .arg(firmName, QStringLiteral(KELVO_BUILD_DATE));
}

void ShowAboutDialog(const QString &programName, const QString &version, const QString &firmName,
                     const QString &comments) {
    // Owned by the application rather than a window, centred on the screen.
    TAboutForm dialog(nullptr, programName, version, firmName, comments);
    Hooks().ExecDialog(dialog);
}

} // namespace kelvo::ui
