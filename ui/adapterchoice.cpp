// The drop-down of this PC's adapters under " Your PC network settings ": the
// address checks use the adapter shown there. Until the user picks one, a
// device's detail dialog switches it to the adapter whose subnet will hold the
// device at its new address, else the one that holds it now, else the one
// with the default route.
#include "hostadapter.h"
#include "mainform.h"
#include "ui_mainform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace kelvo::ui {

namespace {

QString AdapterText(const kelvo::host::AdapterEntry &a) {
    QString text = QString::fromStdString(a.name + "  " + a.ip + " / " + a.mask);
    if (!a.gateway.empty())
        text += QCoreApplication::translate("kelvo::ui", ", gateway %1")
                    .arg(QString::fromStdString(a.gateway));
    return text;
}

} // namespace

void TMainForm::SetUpAdapterChoice() {
    AdapterComboBox = new QComboBox(ui->NetworkGroupBox);
    AdapterComboBox->setObjectName("AdapterComboBox");
    AdapterComboBox->setToolTip(tr("The network of this PC that the address checks use"));
    auto *caption = new QLabel(tr("&Adapter:"), ui->NetworkGroupBox);
    caption->setObjectName("AdapterCaption");
    caption->setFont(ui->LIPCaption->font());
    caption->setBuddy(AdapterComboBox);
    ui->NetworkLayout->addWidget(caption, 1, 0);
    ui->NetworkLayout->addWidget(AdapterComboBox, 1, 1, 1, -1);
    adapters.clear();
    kelvo::host::ListLocalAdapters(adapters);
    for (const auto &a : adapters)
        AdapterComboBox->addItem(AdapterText(a));
    AdapterComboBox->setEnabled(!adapters.empty());
    // Whoever changes the choice (mouse, keys, a screen reader), it is the
    // user's; the window's own changes below do not pass through here.
    connect(AdapterComboBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0)
            return;
        adapterChosenByUser = true;
        ShowAdapter(index);
    });
    ShowAdapter(kelvo::host::ChooseAdapter(adapters, {}));
}

void TMainForm::ShowAdapter(int index) {
    kelvo::host::UseAdapter(index >= 0 && index < static_cast<int>(adapters.size())
                                ? adapters[static_cast<std::size_t>(index)]
                                : kelvo::host::AdapterEntry{});
    if (index >= 0) {
        const QSignalBlocker quiet(AdapterComboBox);
        AdapterComboBox->setCurrentIndex(index);
    }
    ui->LIPLabel->setText(QString::fromStdString(kelvo::host::LocalIpText));
    ui->LNetmaskLabel->setText(QString::fromStdString(kelvo::host::LocalNetmaskText));
    ui->LGatewayLabel->setText(QString::fromStdString(kelvo::host::LocalGatewayText));
}

void TMainForm::UseAdapterForDevice(const qvudps_module &record, const std::string &newIp) {
    if (adapterChosenByUser)
        return;
    ShowAdapter(kelvo::host::ChooseAdapter(
        adapters, newIp, std::string(record.ip, strnlen(record.ip, sizeof record.ip))));
}

} // namespace kelvo::ui
