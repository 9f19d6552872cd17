#include "compareform.h"

#include "uihooks.h"

#include "qvxml.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString Shown(const std::optional<std::string> &value, bool secret, bool showSecrets) {
    if (!value)
        return TCompareForm::tr("(none)");
    return secret && !showSecrets ? QString("***") : QString::fromStdString(*value);
}

} // namespace

TCompareForm::TCompareForm(QWidget *parent, const QString &deviceName, const QString &fileName,
                           std::vector<kelvo::history::Difference> differences_)
    : QDialog(parent), SummaryLabel(new QLabel(this)), CompareGrid(new QTableWidget(this)),
      ShowPasswordsCheckBox(new QCheckBox(tr("Show passwords"), this)),
      differences(std::move(differences_)) {
    setObjectName("CompareForm");
    setWindowTitle(tr("Compare with file"));
    const QString file = QFileInfo(fileName).fileName();
    SummaryLabel->setObjectName("SummaryLabel");
    SummaryLabel->setWordWrap(true);
    SummaryLabel->setTextFormat(Qt::PlainText);
    SummaryLabel->setText(
        differences.empty()
            ? tr("The device at %1 and %2 have the same settings.").arg(deviceName, file)
            : tr("%n setting(s) differ between the device at %1 and %2.", nullptr,
                 static_cast<int>(differences.size()))
                  .arg(deviceName, file));
    CompareGrid->setObjectName("CompareGrid");
    CompareGrid->setAccessibleName(tr("Settings that differ"));
    CompareGrid->setColumnCount(3);
    CompareGrid->setHorizontalHeaderLabels({tr("Setting"), tr("This device"), tr("The file")});
    CompareGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CompareGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    CompareGrid->verticalHeader()->hide();
    CompareGrid->horizontalHeader()->setStretchLastSection(true);
    CompareGrid->setVisible(!differences.empty());
    ShowPasswordsCheckBox->setObjectName("ShowPasswordsCheckBox");
    ShowPasswordsCheckBox->setVisible(std::any_of(differences.begin(), differences.end(),
                                                  [](const auto &d) { return d.secret; }));
    connect(ShowPasswordsCheckBox, &QCheckBox::toggled, this, [this] { FillGrid(); });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName("CloseButtons");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SummaryLabel);
    layout->addWidget(CompareGrid, 1);
    layout->addWidget(ShowPasswordsCheckBox);
    layout->addWidget(buttons);
    FillGrid();
    // Wide enough for a path and two values at any scale; the font decides.
    const int em = fontMetrics().horizontalAdvance('M');
    resize(em * 48, differences.empty() ? sizeHint().height() : em * 28);
}

void TCompareForm::FillGrid() {
    const bool show = ShowPasswordsCheckBox->isChecked();
    CompareGrid->setRowCount(static_cast<int>(differences.size()));
    for (size_t i = 0; i < differences.size(); ++i) {
        const auto &d = differences[i];
        const QString cells[3] = {QString::fromStdString(d.path), Shown(d.a, d.secret, show),
                                  Shown(d.b, d.secret, show)};
        for (int c = 0; c < 3; ++c)
            CompareGrid->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
    }
    CompareGrid->resizeColumnsToContents();
}

std::string DeviceSetupText(int handle) {
    std::string document(QVXML_BUFFER_SIZE, '\0');
    int length = 0;
    if (qvxml_get_setup_xml_copy(handle, document.data(), &length) != 0)
        return {};
    document.resize(static_cast<size_t>(std::clamp(length, 0, QVXML_BUFFER_SIZE)));
    return document;
}

void ShowComparison(QWidget *parent, const std::string &deviceDocument, const QString &deviceName,
                    const QString &fileName) {
    kelvo::history::Settings device, file;
    std::string error;
    if (!kelvo::history::ReadSettings(deviceDocument, device, &error)) {
        kelvo::ui::Hooks().Error(parent,
                                 TCompareForm::tr("The device's configuration cannot be read: %1")
                                     .arg(QString::fromStdString(error)));
        return;
    }
    QFile in(fileName);
    if (in.size() > static_cast<qint64>(kelvo::history::kDocumentMax)) {
        kelvo::ui::Hooks().Error(
            parent, TCompareForm::tr("%1 is larger than any device configuration.").arg(fileName));
        return;
    }
    if (!in.open(QIODevice::ReadOnly)) {
        kelvo::ui::Hooks().Error(
            parent, TCompareForm::tr("Cannot read %1: %2").arg(fileName, in.errorString()));
        return;
    }
    const QByteArray text = in.read(static_cast<qint64>(kelvo::history::kDocumentMax) + 1);
    if (!kelvo::history::ReadSettings(
            std::string_view(text.constData(), static_cast<size_t>(text.size())), file, &error)) {
        kelvo::ui::Hooks().Error(parent, TCompareForm::tr("%1 is no configuration document: %2")
                                             .arg(fileName, QString::fromStdString(error)));
        return;
    }
    TCompareForm dialog(parent, deviceName, fileName, kelvo::history::Compare(device, file));
    kelvo::ui::Hooks().ExecDialog(dialog);
}
