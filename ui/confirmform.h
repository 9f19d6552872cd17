// "Confirm": asks whether to go on with a device outside the PC's network,
// the device address shown in bold with its last two numbers in red.
#ifndef KELVO_UI_CONFIRMFORM_H
#define KELVO_UI_CONFIRMFORM_H

#include <QDialog>
#include <memory>

namespace Ui {
class ConfirmForm;
}

namespace kelvo::ui {

class TConfirmForm : public QDialog {
    Q_OBJECT
public:
    // Builds the text for the device address and the PC's network text
    // ("192.168.1.X"). Shown modally by the caller; Yes closes with Accepted.
    TConfirmForm(QWidget *owner, const QString &ipText, const QString &networkText);
    ~TConfirmForm() override;

    Ui::ConfirmForm *ui;
};

} // namespace kelvo::ui

#endif
