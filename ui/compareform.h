// "Compare with file…": the settings in which a device's configuration and a
// saved configuration file differ, one row per setting (setting, this device,
// the file), compared as kelvo-cli diff compares them.
//
// Threading: the GUI thread.
#ifndef KELVO_UI_COMPAREFORM_H
#define KELVO_UI_COMPAREFORM_H

#include "setupdiff.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QTableWidget;

class TCompareForm : public QDialog {
    Q_OBJECT

public:
    TCompareForm(QWidget *parent, const QString &deviceName, const QString &fileName,
                 std::vector<kelvo::history::Difference> differences);

    QLabel *SummaryLabel;
    QTableWidget *CompareGrid;
    QCheckBox *ShowPasswordsCheckBox;

private:
    void FillGrid();

    std::vector<kelvo::history::Difference> differences;
};

// The document the session's handle fetched last (empty when none).
std::string DeviceSetupText(int handle);

// Compares the device's document with the file and shows the result, or
// tells why they cannot be compared.
void ShowComparison(QWidget *parent, const std::string &deviceDocument, const QString &deviceName,
                    const QString &fileName);

#endif
