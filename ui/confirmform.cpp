#include "confirmform.h"

#include "accessiblenames.h"
#include "detaillogic.h"
#include "ui_confirmform.h"
#include "uihooks.h"

#include <QStyle>
#include <QTextCharFormat>
#include <QTextCursor>

namespace kelvo::ui {

TConfirmForm::TConfirmForm(QWidget *owner, const QString &ipText, const QString &networkText)
    : QDialog(owner), ui(new Ui::ConfirmForm) {
    ui->setupUi(this);
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(49, 49));
    ui->RichEdit1->viewport()->setAutoFillBackground(false);
    ui->RichEdit1->setStyleSheet("QTextEdit { background: transparent; }");

    const ConfirmText t = BuildConfirmText(ipText, networkText);
    ui->RichEdit1->setPlainText(t.text);
    auto format = [this](int start, int length, const QTextCharFormat &f) {
        if (length <= 0)
            return;
        QTextCursor c(ui->RichEdit1->document());
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        c.mergeCharFormat(f);
    };
    // The document turns "\r\n" into one paragraph break; positions before the
    // first line end are the same in both.
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    format(t.redStart, t.redLength, red);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    format(t.addressStart, t.addressLength, bold);
    format(t.networkStart, t.networkLength, bold);

    // The text field is exactly as tall as its text at the designed width,
    // so the dialog has no empty band, and at larger fonts nothing is cut.
    const int textWidth = 475 - 49 - 3 * layout()->spacing() - 20;
    ui->RichEdit1->document()->setTextWidth(textWidth);
    ui->RichEdit1->setMinimumWidth(textWidth);
    ui->RichEdit1->setFixedHeight(static_cast<int>(ui->RichEdit1->document()->size().height()) +
                                  2 * ui->RichEdit1->frameWidth());
    FixDialogSize(this, QSize(475, 136));

    connect(ui->YesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->NoButton, &QPushButton::clicked, this, &QDialog::reject);
    ui->NoButton->setFocus();
    ui->Image1->setAccessibleName(tr("Warning"));
    ui->RichEdit1->setAccessibleName(tr("Question"));
    kelvo::terminal::NameControls(this);
}

TConfirmForm::~TConfirmForm() {
    delete ui;
}

} // namespace kelvo::ui
