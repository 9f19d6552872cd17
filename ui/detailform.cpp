#include "detailform.h"

#include "accessiblenames.h"
#include "authform.h"
#include "detaillogic.h"
#include "devicelist.h"
#include "hostadapter.h"
#include "launch.h"
#include "qvtext.h"
#include "readable.h"
#include "ui_detailform.h"
#include "uihooks.h"

#include <QStatusBar>

namespace kelvo::ui {

namespace {

QString FieldText(const char *field, std::size_t size) {
    return QString::fromUtf8(qv::field_text(field, size));
}

#define FIELD(rec, f) FieldText((rec).f, sizeof((rec).f))

} // namespace

TDetailForm::TDetailForm(QWidget *owner, qvudps_module *record, int *spinnerIndex)
    : QDialog(owner), SetupTimer(new QTimer(this)), ui(new Ui::DetailForm), deviceRecord(record),
      spinner(spinnerIndex) {
    ui->setupUi(this);
    // The "(DHCP)" marks keep their room while hidden, so that ticking
    // "Enable DHCP" neither squeezes them nor the fields beside them.
    for (QLineEdit *mark : {ui->DHCPLabelEdit, ui->DHCPLabelEdit1, ui->DHCPLabelEdit2}) {
        mark->setMinimumWidth(mark->fontMetrics().horizontalAdvance(mark->text()) + 8);
        QSizePolicy policy = mark->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        mark->setSizePolicy(policy);
    }
    FixDialogSize(this, QSize(411, 455));
    SetupTimer->setObjectName("SetupTimer");
    SetupTimer->setInterval(100);
    SetStatus(tr("Ready"));

    connect(ui->SaveBitBtn, &QPushButton::clicked, this, &TDetailForm::SaveBitBtnClick);
    connect(ui->CancelBitBtn, &QPushButton::clicked, this, &TDetailForm::CancelBitBtnClick);
    connect(ui->DefaultsBitBtn, &QPushButton::clicked, this, &TDetailForm::DefaultsBitBtnClick);
    connect(ui->WEBBitBtn, &QPushButton::clicked, this, &TDetailForm::WEBBitBtnClick);
    connect(ui->TCPSetupButton, &QPushButton::clicked, this, &TDetailForm::TCPSetupButtonClick);
    // The boxes act on their state, however it changed: mouse, keyboard,
    // a screen reader's toggle action or the dialog's own filling.
    connect(ui->DHCPCheckBox, &QCheckBox::toggled, this, &TDetailForm::DHCPCheckBoxClick);
    connect(ui->TCPCheckBox, &QCheckBox::toggled, this, &TDetailForm::TCPCheckBoxClick);
    connect(ui->EnableFilterCheckBox, &QCheckBox::toggled, this,
            &TDetailForm::EnableFilterCheckBoxClick);
    connect(SetupTimer, &QTimer::timeout, this, &TDetailForm::SetupTimerTimer);

    const std::pair<QLabel *, QWidget *> labelled[] = {
        {ui->NameLabel, ui->NameEdit},
        {ui->IPLabel, ui->IPEdit},
        {ui->PortLabel, ui->PortEdit},
        {ui->MaskLabel, ui->MaskEdit},
        {ui->GatewayLabel, ui->GatewayEdit},
        {ui->IPFilterLabel, ui->IPFilterEdit},
        {ui->IPMaskFilterLabel, ui->IPMaskFilterEdit},
        {ui->_MACLabel, ui->MACEdit},
        {ui->_FWLabel, ui->FWEdit},
        {ui->_DeviceLabel, ui->DeviceEdit},
        {ui->_DHCPLabel, ui->DHCPEdit}};
    for (const auto &[label, control] : labelled)
        label->setBuddy(control);
    ui->DHCPLabelEdit->setAccessibleName(tr("IP address set by DHCP"));
    ui->DHCPLabelEdit1->setAccessibleName(tr("Mask set by DHCP"));
    ui->DHCPLabelEdit2->setAccessibleName(tr("Gateway set by DHCP"));
    kelvo::terminal::NameControls(this);
}

TDetailForm::~TDetailForm() {
    delete ui;
}

void TDetailForm::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TDetailForm::SetStatus(const QString &text) {
    AnnounceStatus(ui->StatusBar, text);
}

void TDetailForm::FormShow() {
    const qvudps_module &m = *deviceRecord;
    shownName = FIELD(m, name);
    shownIp = FIELD(m, ip);
    shownMask = FIELD(m, mask);
    // Says which device is being changed, also to a screen reader's window list.
    setWindowTitle(shownName.isEmpty() ? tr("Details - %1").arg(FIELD(m, mac))
                                       : tr("Details - %1 (%2)").arg(shownName, FIELD(m, mac)));
    ui->NameEdit->setText(shownName);
    ui->MACEdit->setText(FIELD(m, mac));
    ui->IPEdit->setText(shownIp);
    ui->PortEdit->setText(QString::number(m.port));
    ui->MaskEdit->setText(FIELD(m, mask));
    ui->GatewayEdit->setText(FIELD(m, gateway));
    ui->FWEdit->setText(FIELD(m, firmware));
    ui->DeviceEdit->setText(QString("%1 (%2)").arg(FIELD(m, type_name)).arg(m.type));
    ui->DHCPEdit->setText(m.dhcp_supported ? tr("Supported") : tr("Not supported"));
    ui->IPFilterEdit->setText(FIELD(m, filter_ip));
    ui->IPMaskFilterEdit->setText(FIELD(m, filter_mask));

    // Each option shows the device's setting and can be changed only where
    // the device supports it; the boxes' own handlers follow the new state.
    const bool filterOff = FIELD(m, filter_ip) == "0.0.0.0" && FIELD(m, filter_mask) == "0.0.0.0";
    const struct {
        QCheckBox *box;
        bool on;
        bool supported;
    } options[] = {
        {ui->NVTCheckBox, m.nvt_enabled != 0, m.nvt_supported != 0},
        {ui->TCPCheckBox, m.tcp_setup_enabled != 0, m.tcp_setup_supported != 0},
        {ui->DHCPCheckBox, m.dhcp_enabled != 0, m.dhcp_supported != 0},
        {ui->TEACheckBox, m.tea_enabled != 0, m.tea_supported != 0},
        {ui->EnableFilterCheckBox, !filterOff, m.filter_supported != 0},
    };
    for (const auto &o : options) {
        o.box->setChecked(o.on);
        o.box->setEnabled(o.supported);
    }
    ui->TCPSetupButton->setEnabled(m.tcp_setup_supported);

    ui->DefaultsBitBtn->setEnabled(m.defaults_supported);
    ui->WEBBitBtn->setEnabled(m.web_supported);
    ui->NameEdit->setEnabled(m.name_supported);
    ui->NameLabel->setEnabled(m.name_supported);
}

void TDetailForm::DHCPCheckBoxClick() {
    const bool dhcp = ui->DHCPCheckBox->isChecked();
    ui->IPEdit->setEnabled(!dhcp);
    ui->MaskEdit->setEnabled(!dhcp);
    ui->GatewayEdit->setEnabled(!dhcp);
    ui->DHCPLabelEdit->setVisible(dhcp);
    ui->DHCPLabelEdit1->setVisible(dhcp);
    ui->DHCPLabelEdit2->setVisible(dhcp);
}

void TDetailForm::TCPCheckBoxClick() {
    ui->TCPSetupButton->setEnabled(ui->TCPCheckBox->isChecked());
}

void TDetailForm::EnableFilterCheckBoxClick() {
    const bool on = ui->EnableFilterCheckBox->isChecked();
    if (!on) {
        ui->IPFilterEdit->setText("0.0.0.0");
        ui->IPMaskFilterEdit->setText("0.0.0.0");
    }
    ui->IPFilterLabel->setEnabled(on);
    ui->IPFilterEdit->setEnabled(on);
    ui->IPMaskFilterLabel->setEnabled(on);
    ui->IPMaskFilterEdit->setEnabled(on);
}

void TDetailForm::SaveBitBtnClick() {
    QString error;
    const auto port = ParsePort(ui->PortEdit->text(), &error);
    if (!port) {
        Hooks().Error(this, tr("%1\nPort: a whole number from 0 to 65535").arg(error));
        return;
    }
    if (*port == 99 &&
        !Hooks().Question(this,
                          tr("Port 99 is reserved for UDP Setup and its usage is not strictly "
                             "recommended!\r\n\r\nAre you sure to use this conflict port?")))
        return;

    // Every address goes into a 15-byte field of the setup message; a text
    // that is not an address would reach the device as 255.255.255.255.
    DetailValues v;
    v.ip = ui->IPEdit->text().trimmed();
    v.mask = ui->MaskEdit->text().trimmed();
    v.gateway = ui->GatewayEdit->text().trimmed();
    v.filterIp = ui->IPFilterEdit->text().trimmed();
    v.filterMask = ui->IPMaskFilterEdit->text().trimmed();
    if (const QString field = InvalidAddressField(v); !field.isEmpty()) {
        Hooks().Error(this, tr("Some of network parameters is not correct?\n%1").arg(field));
        return;
    }
    // A new address or mask that no device should get is refused as
    // kelvo-cli refuses it, whatever "Check if new IP address is empty" says.
    if (!ui->DHCPCheckBox->isChecked() && (v.ip != shownIp || v.mask != shownMask)) {
        const std::string fault =
            kelvo::host::AddressFault(v.ip.toStdString(), v.mask.toStdString());
        if (!fault.empty()) {
            Hooks().Error(this, tr("Some of network parameters is not correct?\r\n\r\n%1")
                                    .arg(QString::fromStdString(fault)));
            return;
        }
    }

    if (ui->ValidCheckBox->isChecked() && !ui->DHCPCheckBox->isChecked()) {
        if (chooseAdapter)
            chooseAdapter(v.ip.toStdString());
        GuiHostPrompts prompts(this);
        if (!kelvo::host::CheckNewAddress(v.ip.toStdString(), v.mask.toStdString(),
                                          v.gateway.toStdString(), prompts))
            return;
        SetStatus(tr("Testing destination address..."));
        const int ping = Hooks().Ping(v.ip.toStdString());
        if (ping == 0) {
            if (!Hooks().Question(this,
                                  tr("IP address is already assigned to other equipement!\r\n\r\n"
                                     "Are you sure to use this conflict IP address?"))) {
                SetStatus(tr("Ready"));
                return;
            }
            SetStatus(tr("Sending new settings..."));
        } else if (ping == 1) {
            SetStatus(tr("Sending new settings..."));
        } else {
            // The pause lets the user read the message; the window keeps
            // painting but takes no input meanwhile.
            SetStatus(tr("Testing ping failed. Sending new settings..."));
            ui->SaveBitBtn->setEnabled(false);
            ui->DefaultsBitBtn->setProperty("wasEnabled", ui->DefaultsBitBtn->isEnabled());
            ui->DefaultsBitBtn->setEnabled(false);
            const std::uint16_t p = *port;
            QTimer::singleShot(5000, this, [this, p] {
                ui->SaveBitBtn->setEnabled(true);
                ui->DefaultsBitBtn->setEnabled(ui->DefaultsBitBtn->property("wasEnabled").toBool());
                FinishApply(p);
            });
            return;
        }
    }
    FinishApply(*port);
}

void TDetailForm::FinishApply(std::uint16_t port) {
    // Nothing is being sent while the password is still being asked for.
    const bool asks = deviceRecord->setup_auth_required != 0;
    const QString sending = ui->StatusBar->currentMessage();
    if (asks)
        SetStatus(tr("Waiting for user name and password..."));
    // The stored record stays as it was unless the setup can leave.
    if (AskDeviceCredentials(this, *deviceRecord) || !RelayReadyForSetup(this)) {
        SetStatus(tr("Ready"));
        return;
    }
    if (asks)
        SetStatus(sending.contains(tr("Sending new settings...").chopped(3))
                      ? sending
                      : tr("Sending new settings..."));
    DetailValues v;
    v.name = ui->NameEdit->text();
    // An untouched name stays byte for byte: a name the search did not read,
    // or one longer than the dialog writes, is not replaced.
    v.nameEdited = v.name != shownName;
    v.ip = ui->IPEdit->text().trimmed();
    v.mask = ui->MaskEdit->text().trimmed();
    v.gateway = ui->GatewayEdit->text().trimmed();
    v.filterIp = ui->IPFilterEdit->text().trimmed();
    v.filterMask = ui->IPMaskFilterEdit->text().trimmed();
    v.nvt = ui->NVTCheckBox->isChecked();
    v.tcpSetup = ui->TCPCheckBox->isChecked();
    v.dhcp = ui->DHCPCheckBox->isChecked();
    v.tea = ui->TEACheckBox->isChecked();
    WriteDetailValues(*deviceRecord, v, port);
    SendDeviceSettings();
}

void TDetailForm::SendDeviceSettings() {
    if (qvudps_setup(deviceRecord, 1, nullptr) == -1) {
        Hooks().Error(this, tr("Sending new setting failed"));
        return;
    }
    SetStatus(tr("Sending new settings..."));
    setupTicks = 150;
    SetupTimer->start();
}

void TDetailForm::SetupTimerTimer() {
    if (qvudps_setup_finish() == -1) {
        *spinner = (*spinner + 1) % 4;
        ShowProgressStatus(ui->StatusBar,
                           tr("Sending new settings... %1")
                               .arg(QChar(qv::spinner_char(static_cast<unsigned>(*spinner)))));
        if (--setupTicks < 0) {
            SetupTimer->stop();
            SetStatus(tr("Sending new settings... timeout error"));
        }
        return;
    }
    SetupTimer->stop();
    settingsApplied = true;
    accept();
}

void TDetailForm::DefaultsBitBtnClick() {
    if (!Hooks().Question(this, tr("Are you sure to set default values?")))
        return;
    if (AskDeviceCredentials(this, *deviceRecord) || !RelayReadyForSetup(this))
        return;
    deviceRecord->load_defaults = 1;
    SendDeviceSettings();
}

void TDetailForm::WEBBitBtnClick() {
    SetStatus(tr("Openning in WEB Browser..."));
    OpenInBrowser(ui->IPEdit->text(), WebPortOf(*deviceRecord), this);
    SetStatus(tr("Ready"));
}

void TDetailForm::TCPSetupButtonClick() {
    SetStatus(tr("Openning TCP Setup..."));
    // Owned by this dialog: it stays on top of it and takes input at once.
    OpenTcpSetup(this, ui->IPEdit->text(), TcpSetupPortOf(*deviceRecord));
    SetStatus(tr("Ready"));
}

void TDetailForm::CancelBitBtnClick() {
    reject();
}

} // namespace kelvo::ui
