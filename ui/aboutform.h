// "About": the program's name, version, copyright and comments.
#ifndef KELVO_UI_ABOUTFORM_H
#define KELVO_UI_ABOUTFORM_H

#include <QDialog>

namespace Ui {
class AboutForm;
}

namespace kelvo::ui {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    TAboutForm(QWidget *owner, const QString &programName, const QString &version,
               const QString &firmName, const QString &comments);
    ~TAboutForm() override;

    Ui::AboutForm *ui;
};

// The copyright line: the firm, the years of development and the build date.
QString CopyrightText(const QString &firmName);

// Creates the about dialog, shows it modally and destroys it.
void ShowAboutDialog(const QString &programName, const QString &version, const QString &firmName,
                     const QString &comments);

} // namespace kelvo::ui

#endif
