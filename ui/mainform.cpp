#include "mainform.h"

#include "aboutform.h"
#include "accessiblenames.h"
#include "appmutex.h"
#include "artwork.h"
#include "authform.h"
#include "detailform.h"
#include "hostadapter.h"
#include "hostmacfilter.h"
#include "kelvo_version.h"
#include "launch.h"
#include "qvtext.h"
#include "readable.h"
#include "ui_mainform.h"
#include "uihooks.h"
#include "usersettings.h"
#include "watching.h"

#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <algorithm>
#include <cstring>

namespace kelvo::ui {

namespace {} // namespace

TMainForm::TMainForm(QWidget *parent, const MainOptions &options)
    : QMainWindow(parent), ui(new Ui::MainForm), SearchTimer(new QTimer(this)),
      InitSearchTimer(new QTimer(this)), DefaultTimer(new QTimer(this)), XmlTimer(new QTimer(this)),
      PopupMenu(new QMenu(this)), SaveDeviceList1(new QAction(tr("Save device list..."), this)),
      SortByMenu(new QMenu(tr("Sort &by"), this)),
      FilterAction(new QAction(tr("Filter devices"), this)), deviceModel(new TDeviceModel(this)),
      deviceFilter(new TDeviceFilter(deviceModel, this)), FilterCountLabel(new QLabel(this)) {
    // 1. The window from its layout; Qt scales it for the screen's density.
    ui->setupUi(this);
    SetMainWindow(this);
    SearchTimer->setObjectName("SearchTimer");
    SearchTimer->setInterval(100);
    InitSearchTimer->setObjectName("InitSearchTimer");
    InitSearchTimer->setInterval(1000);
    DefaultTimer->setObjectName("DefaultTimer");
    DefaultTimer->setInterval(100);
    XmlTimer->setObjectName("XmlTimer");
    XmlTimer->setInterval(100);
    PopupMenu->setObjectName("PopupMenu");
    PopupMenu->addAction(ui->EditParameters1);
    PopupMenu->addSeparator()->setObjectName("N2");
    PopupMenu->addAction(ui->OpeninWebbrowser1);
    PopupMenu->addAction(ui->OpenTCPsetup1);
    PopupMenu->addSeparator()->setObjectName("N3");
    PopupMenu->addAction(ui->DownloadPopupMenu);
    PopupMenu->addAction(ui->UploadPopupMenu);
    CompareWithFile1 = new QAction(tr("Compare with file…"), this);
    CompareWithFile1->setObjectName("CompareWithFile1");
    PopupMenu->addAction(CompareWithFile1);
    connect(CompareWithFile1, &QAction::triggered, this, [this] { StartTransfer(false, true); });
    PopupMenu->addSeparator()->setObjectName("N1");
    PopupMenu->addAction(ui->Loaddefaultvalues1);
    PopupMenu->addSeparator();
    SaveDeviceList1->setObjectName("SaveDeviceList1");
    SaveDeviceList1->setShortcut(QKeySequence::Save);
    PopupMenu->addAction(SaveDeviceList1);
    addAction(SaveDeviceList1); // Ctrl+S without the menu
    SetStatus(tr("Loading application..."));

    ui->StringGrid->SetDevices(deviceModel, deviceFilter);
    int gridWidth = 0;
    for (int c = 0; c < kGridColumnCount; ++c)
        gridWidth += ui->StringGrid->columnWidth(c);
    connect(ui->StringGrid, &TDeviceGrid::DeviceActivated, this,
            &TMainForm::StringGridDeviceActivated);
    connect(ui->StringGrid, &TDeviceGrid::HeaderClicked, this, &TMainForm::SortByColumn);
    connect(ui->StringGrid, &TDeviceGrid::MenuRequested, PopupMenu,
            [this](const QPoint &at) { PopupMenu->popup(at); });
    SetUpSortAndFilter();
    watching = new TWatching(this);
    ui->LogoImage->installEventFilter(this);
    ui->WWWLabel->installEventFilter(this);
    ShowWebSiteLink();

    connect(SearchTimer, &QTimer::timeout, this, &TMainForm::SearchTimerTimer);
    connect(InitSearchTimer, &QTimer::timeout, this, &TMainForm::InitSearchTimerTimer);
    connect(DefaultTimer, &QTimer::timeout, this, &TMainForm::DefaultTimerTimer);
    connect(XmlTimer, &QTimer::timeout, this, &TMainForm::XmlTimerTimer);
    connect(ui->SearchBitBtn, &QPushButton::clicked, this, &TMainForm::SearchBitBtnClick);
    connect(ui->AboutBitBtn, &QPushButton::clicked, this, &TMainForm::AboutBitBtnClick);
    connect(PopupMenu, &QMenu::aboutToShow, this, &TMainForm::PopupMenuPopup);
    connect(ui->EditParameters1, &QAction::triggered, this, &TMainForm::EditParameters1Click);
    connect(ui->OpeninWebbrowser1, &QAction::triggered, this, &TMainForm::OpeninWebbrowser1Click);
    connect(ui->OpenTCPsetup1, &QAction::triggered, this, &TMainForm::OpenTCPsetup1Click);
    connect(ui->DownloadPopupMenu, &QAction::triggered, this, &TMainForm::DownloadPopupMenuClick);
    connect(ui->UploadPopupMenu, &QAction::triggered, this, &TMainForm::UploadPopupMenuClick);
    connect(ui->Loaddefaultvalues1, &QAction::triggered, this, &TMainForm::Loaddefaultvalues1Click);
    connect(SaveDeviceList1, &QAction::triggered, this, &TMainForm::SaveDeviceListClick);

    // 2. The MAC filter: the user's file and the one beside the program.
    if (options.macFilterFile.isEmpty())
        kelvo::host::LoadDefaultMacFilters();
    else
        kelvo::host::LoadMacFilterFile(QFile::encodeName(options.macFilterFile).toStdString());

    // 3. The device table (the model's), in the order and with the column
    // widths the user left.
    ui->StringGrid->RestoreLayout(kelvo::terminal::UserSettings());

    // 4. The marker installers look for.
    CreateInstallMutex();

    // 5. The session with the four handlers of the configuration transfer.
    session = std::make_unique<mvxapi::TIoXml>(this);
    session->OnOpen = new mvxapi::EventHandler<TMainForm, mvxapi::TSdkSimpleEventArgs>(
        this, &TMainForm::XmlOpenEvent);
    session->OnSetup = new mvxapi::EventHandler<TMainForm, mvxapi::TIoXmlSetupEventArgs>(
        this, &TMainForm::XmlSetupEvent);
    session->OnSetupSent = new mvxapi::EventHandler<TMainForm, mvxapi::TIoXmlSetupEventArgs>(
        this, &TMainForm::XmlSetupSentEvent);
    session->OnError = new mvxapi::EventHandler<TMainForm, mvxapi::TSdkErrorEventArgs>(
        this, &TMainForm::XmlErrorEvent);

    // 6. Grid headers: the model's.

    // 7. The PC's own network.
    SetUpAdapterChoice();

    // 8. Empty search state.
    searching = false;

    // 9. The discovery library (a second window in the same process finds it
    // already running, which is fine), with room for a large plant.
    qvudps_init();
    qvudps_set_capacity(kMaxDevices);

    // 10, 11. Title texts.
    AppVersion = KELVO_VERSION;
    AppName = "Mvx-Config";
    FirmName = "Marvane";
    AppDescription = tr("Config utility for the Marvane devices");
    AppComments = tr("Config utility for the original Marvane devices.");
    WebSite = "www.marvane.example";
    WindowTitle = tr("Mvx-Config %1 for Marvane products (%2)").arg(AppVersion, WebSite);
    setWindowTitle(WindowTitle);
    ui->DescLabel->setText(AppDescription);
    ui->WWWLabel->setText(WebSite);
    ui->FirmLabel->setText(FirmName);

    // 12. Every datagram goes through the local relay.
    relayAddress = options.relayAddress;
    relayPort = options.relayPort;
    SetSetupRoute(options.relayAddress.toStdString(), options.relayPort, false);
    qvudps_set_proxy(options.relayAddress.toLatin1().constData(), options.relayPort, "Mvx-Config");

    // The buttons' designed widths are minimums: a longer caption (another
    // language, a larger font) widens them and the window rather than being cut.
    for (QPushButton *button : {ui->AboutBitBtn, ui->SearchBitBtn})
        button->setMinimumWidth(std::max(button->minimumWidth(), button->sizeHint().width()));

    // The designed size, centred on the desktop.
    resize(QSize(std::max(704, gridWidth + 40), 429).expandedTo(minimumSizeHint()));
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    // 13, 14.
    ui->VersionLabel->setText(AppVersion);
    DrawArtwork();
    SetUpKeyboardAndNames();
    // The place and size the user left the window at.
    restoreGeometry(kelvo::terminal::UserSettings().value("MainWindow/Geometry").toByteArray());
}

TMainForm::~TMainForm() {
    FormClose();
    if (MainWindow() == this)
        SetMainWindow(nullptr);
    delete ui;
}

QString TMainForm::StatusText() const {
    return ui->StatusBar->currentMessage();
}

void TMainForm::SetStatus(const QString &text) {
    statusText = text;
    AnnounceStatus(ui->StatusBar, text);
}

void TMainForm::SetProgress(const QString &text) {
    statusText = text;
    ShowProgressStatus(ui->StatusBar, text);
}

QChar TMainForm::NextSpinner() {
    spinnerIndex = (spinnerIndex + 1) % 4;
    return QChar(qv::spinner_char(static_cast<unsigned>(spinnerIndex)));
}

// ---------------------------------------------------------------- search flow

void TMainForm::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!shown) {
        shown = true;
        FormShow();
    }
}

void TMainForm::FormShow() {
    InitSearchTimer->start();
}

void TMainForm::InitSearchTimerTimer() {
    InitSearchTimer->stop();
    SearchBitBtnClick();
}

void TMainForm::SearchBitBtnClick() {
    StartSearch(false);
}

void TMainForm::StartSearch(bool automatic) {
    if (searching || !PrepareSearchRoute(!automatic))
        return;
    if (automatic) {
        SetProgress(tr("Refreshing..."));
    } else {
        deviceModel->ClearDeviceGrid();
        SetStatus(tr("Searching modules... -"));
    }
    watching->PrepareSearch(automatic);
    if (qvudps_search(1, this) == -1) {
        qvudps_set_known_names(nullptr, 0);
        watching->refreshing = false;
        SetStatus(tr("Searching modules... error"));
        return;
    }
    if (!automatic) {
        // The rows of the previous result go; those of the search come in.
        deviceModel->deviceCount = 0;
        partialCount = 0;
        partialRecords.assign(kMaxDevices, qvudps_module{});
    }
    searching = true;
    SearchTimer->start();
    spinnerIndex = 0;
    searchTicks = 609;
}

bool TMainForm::RefuseAbsent(int index) {
    if (index < 0 || index >= deviceModel->deviceCount || !deviceModel->DeviceTable[index].absent)
        return false;
    SetStatus(tr("%1 did not answer the last search: nothing is sent to it")
                  .arg(RecordText(deviceModel->DeviceTable[index].record->mac)));
    return true;
}

void TMainForm::ShowPartialResult() {
    const int total = std::min(qvudps_count_partial(), kMaxDevices);
    bool added = false, renamed = false;
    for (; partialCount < total; ++partialCount) {
        qvudps_module &m = partialRecords[partialCount];
        if (qvudps_record_partial(partialCount, &m) != 0)
            break;
        if (kelvo::host::IsMacFiltered(std::string(m.mac, strnlen(m.mac, sizeof m.mac))))
            continue;
        const RowState state = watching->StateDuringSearch(m);
        deviceModel->DeviceTable[deviceModel->deviceCount] = {
            state == RowState::New || state == RowState::Changed, &m, state, false};
        ++deviceModel->deviceCount;
        added = true;
    }
    // Names come in after the replies; only rows still without one can change.
    for (int row = 0; row < deviceModel->deviceCount; ++row) {
        qvudps_module &m = *deviceModel->DeviceTable[row].record;
        if (m.name[0] != '\0')
            continue;
        const auto index = static_cast<int>(&m - partialRecords.data());
        qvudps_module fresh;
        if (qvudps_record_partial(index, &fresh) != 0 || fresh.name[0] == '\0')
            continue;
        std::memcpy(m.name, fresh.name, sizeof m.name);
        renamed = true;
        if (!added && deviceModel->sortColumn != 1)
            deviceModel->RecordChanged(row);
    }
    if (added || (renamed && deviceModel->sortColumn == 1))
        deviceModel->SortAndShow();
}

void TMainForm::SearchTimerTimer() {
    if (qvudps_search_finish() == -1) {
        // A refresh leaves the list as it is until its end.
        if (!watching->refreshing)
            ShowPartialResult();
        const QChar spin = NextSpinner();
        SetProgress(
            tr("Searching modules (remains %1 seconds)... %2").arg(searchTicks / 10).arg(spin));
        if (--searchTicks < 0) {
            SearchTimer->stop();
            SetStatus(tr("Searching modules... timed out after %1 seconds").arg(60));
            // The library's own end normally comes long before; should it not,
            // the button must still work for a new try.
            searching = false;
            watching->refreshing = false;
        }
        return;
    }
    SearchTimer->stop();
    std::vector<qvudps_module> answers;
    qvudps_module *record = nullptr;
    while (qvudps_count() > 0 && answers.size() < kMaxDevices && qvudps_record(&record) == 0) {
        if (!kelvo::host::IsMacFiltered(
                std::string(record->mac, strnlen(record->mac, sizeof record->mac))))
            answers.push_back(*record);
    }
    const QString watched = watching->SearchEnded(answers);
    const bool automatic = watching->refreshing;
    watching->refreshing = false;
    searching = false;
    QString found =
        automatic ? tr("Refreshed at %1: %n device(s) found", "", static_cast<int>(answers.size()))
                        .arg(QTime::currentTime().toString("HH:mm:ss"))
                  : tr("Searching modules... %n device(s) found", nullptr,
                       static_cast<int>(answers.size()));
    if (const int dropped = qvudps_count_dropped(); dropped > 0)
        found = tr("%1, %n more answered but did not fit the list", nullptr, dropped).arg(found);
    if (qvudps_count() == 0 && !directSearch)
        found = tr("%1 (%2)").arg(found, NothingFoundHint());
    if (!watched.isEmpty())
        found = tr("%1; %2").arg(found, watched);
    // A refresh that changed nothing is shown, not announced every time.
    if (automatic && watched.isEmpty())
        SetProgress(found);
    else
        SetStatus(found);
    CheckSettingsTaken();
}

void TMainForm::AboutBitBtnClick() {
    ShowAboutDialog(AppName, AppVersion, FirmName, AppComments);
}

void TMainForm::WWWLabelClick() {
    OpenInBrowser(WebSite, 80, this);
}

void TMainForm::LogoImageClick() {
    OpenInBrowser(WebSite, 80, this);
}

void TMainForm::closeEvent(QCloseEvent *event) {
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormClose() {
    SearchTimer->stop();
    watching->RefreshTimer->stop();
    watching->SaveAtClose();
    DefaultTimer->stop();
    XmlTimer->stop();
    // The library keeps running; it must not hand this window to anyone later.
    qvudps_clr_ptr(this);
    if (session) {
        QSettings settings = kelvo::terminal::UserSettings();
        settings.setValue("MainWindow/Geometry", saveGeometry());
        ui->StringGrid->SaveLayout(settings);
    }
    session.reset();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == ui->LogoImage) {
            LogoImageClick();
            return true;
        }
        if (watched == ui->WWWLabel) {
            WWWLabelClick();
            return true;
        }
    }
    if (watched == ui->FilterEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
        !ui->FilterEdit->text().isEmpty()) {
        ui->FilterEdit->clear();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- device grid

void TMainForm::SetUpSortAndFilter() {
    // Sorting without a mouse: the same choice as a header click, in the
    // context menu and on Ctrl+1 to Ctrl+5.
    SortByMenu->setObjectName("SortByMenu");
    const QStringList names{tr("&MAC"), tr("&Name"), tr("&IP"), tr("Device &type"), tr("&Port")};
    for (int column = 0; column < names.size(); ++column) {
        QAction *sortBy = SortByMenu->addAction(names[column]);
        sortBy->setObjectName(QString("SortBy%1").arg(column));
        sortBy->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + column)));
        sortBy->setCheckable(true);
        sortBy->setStatusTip(tr("Sort the list by this column; again to reverse the order"));
        connect(sortBy, &QAction::triggered, this, [this, column] { SortByColumn(column); });
        addAction(sortBy);
    }
    const auto showSortColumn = [this] {
        const QList<QAction *> entries = SortByMenu->actions();
        for (int column = 0; column < entries.size(); ++column)
            entries[column]->setChecked(column == deviceModel->sortColumn);
    };
    connect(deviceModel, &TDeviceModel::SortOrderChanged, this, showSortColumn);
    showSortColumn();
    PopupMenu->addMenu(SortByMenu);

    // The filter field: Ctrl+F goes there, Escape empties it.
    ui->FilterEdit->setClearButtonEnabled(true);
    ui->FilterEdit->installEventFilter(this);
    connect(ui->FilterEdit, &QLineEdit::textChanged, this, &TMainForm::FilterEditChange);
    FilterAction->setObjectName("FilterAction");
    FilterAction->setShortcut(QKeySequence::Find);
    connect(FilterAction, &QAction::triggered, this, [this] {
        ui->FilterEdit->setFocus(Qt::ShortcutFocusReason);
        ui->FilterEdit->selectAll();
    });
    addAction(FilterAction);
    FilterCountLabel->setObjectName("FilterCountLabel");
    FilterCountLabel->hide();
    ui->StatusBar->addPermanentWidget(FilterCountLabel);
    connect(deviceFilter, &QAbstractItemModel::modelReset, this, &TMainForm::ShowFilterCount);
    connect(deviceFilter, &QAbstractItemModel::layoutChanged, this, &TMainForm::ShowFilterCount);
}

void TMainForm::SortByColumn(int column) {
    if (searching || column < 0 || column > 4)
        return;
    deviceModel->SortBy(column);
}

void TMainForm::FilterEditChange(const QString &text) {
    ui->StringGrid->SetFilterText(text);
    ShowFilterCount();
}

void TMainForm::ShowFilterCount() {
    FilterCountLabel->setVisible(deviceFilter->Active());
    FilterCountLabel->setText(tr("Showing %1 of %2 devices")
                                  .arg(deviceFilter->ShownCount())
                                  .arg(deviceModel->deviceCount));
}

void TMainForm::StringGridDeviceActivated(qvudps_module *record, int column) {
    const int index = deviceModel->IndexOf(record);
    if (index < 0 || RefuseAbsent(index))
        return;
    if (column != 2) {
        selectedDevice = index;
        ShowDetailDialog();
        return;
    }
    if (CheckReachable(RecordText(record->ip)) != 0)
        return;
    SetStatus(tr("Openning in WEB Browser..."));
    OpenInBrowser(RecordText(record->ip), WebPortOf(*record), this);
    SetStatus(tr("Ready"));
}

// ------------------------------------------------------------- device actions

void TMainForm::PopupMenuPopup() {
    selectedDevice = ui->StringGrid->FindDeviceByRow(ui->StringGrid->CurrentRow());
    // A device that did not answer is offered nothing that would send to it.
    const bool absent = selectedDevice != -1 && deviceModel->DeviceTable[selectedDevice].absent;
    const PopupMenuState s = MenuStateFor(
        selectedDevice == -1 || absent ? nullptr : deviceModel->DeviceTable[selectedDevice].record);
    ui->EditParameters1->setEnabled(s.detail);
    ui->OpeninWebbrowser1->setEnabled(s.web);
    ui->Loaddefaultvalues1->setEnabled(s.defaults);
    ui->DownloadPopupMenu->setEnabled(s.download);
    ui->UploadPopupMenu->setEnabled(s.upload);
    CompareWithFile1->setEnabled(s.download);
    ui->OpenTCPsetup1->setEnabled(s.tcpSetup);
    // The entries name the ports they will really use.
    const qvudps_module *m =
        selectedDevice == -1 ? nullptr : deviceModel->DeviceTable[selectedDevice].record;
    ui->OpeninWebbrowser1->setText(
        tr("Open in &WEB Browser (port %1)").arg(m ? WebPortOf(*m) : 80));
    ui->OpenTCPsetup1->setText(tr("Open &TCP Setup (port %1)").arg(m ? TcpSetupPortOf(*m) : 99));
}

void TMainForm::EditParameters1Click() {
    ui->StringGrid->StringGridDblClick();
}

void TMainForm::OpeninWebbrowser1Click() {
    if (selectedDevice < 0 || selectedDevice >= deviceModel->deviceCount ||
        RefuseAbsent(selectedDevice))
        return;
    const qvudps_module &m = *deviceModel->DeviceTable[selectedDevice].record;
    if (CheckReachable(RecordText((m).ip)) != 0)
        return;
    SetStatus(tr("Openning in WEB Browser..."));
    OpenInBrowser(RecordText((m).ip), WebPortOf(m), this);
    SetStatus(tr("Ready"));
}

void TMainForm::OpenTCPsetup1Click() {
    if (selectedDevice < 0 || selectedDevice >= deviceModel->deviceCount ||
        RefuseAbsent(selectedDevice))
        return;
    const qvudps_module &m = *deviceModel->DeviceTable[selectedDevice].record;
    SetStatus(tr("Openning TCP Setup..."));
    OpenTcpSetup(this, RecordText((m).ip), TcpSetupPortOf(m));
    SetStatus(tr("Ready"));
}

void TMainForm::Loaddefaultvalues1Click() {
    if (selectedDevice < 0 || selectedDevice >= deviceModel->deviceCount ||
        RefuseAbsent(selectedDevice))
        return;
    if (!Hooks().Question(this, tr("Are you sure to set default values?")))
        return;
    qvudps_module *record = deviceModel->DeviceTable[selectedDevice].record;
    if (AskDeviceCredentials(this, *record) || !RelayReadyForSetup(this))
        return;
    record->load_defaults = 1;
    if (qvudps_setup(record, 0, this) == -1) {
        Hooks().Error(this, tr("Sending new setting failed"));
        return;
    }
    ExpectSettings(*record);
    SetStatus(tr("Sending default settings..."));
    defaultTicks = 150;
    DefaultTimer->start();
}

void TMainForm::DefaultTimerTimer() {
    if (qvudps_setup_finish() == -1) {
        SetProgress(tr("Sending default settings... %1").arg(NextSpinner()));
        if (--defaultTicks < 0) {
            DefaultTimer->stop();
            SetStatus(tr("Sending default settings... timeout error"));
            sentSettings.reset();
        }
        return;
    }
    DefaultTimer->stop();
    SearchBitBtnClick();
}

void TMainForm::ShowDetailDialog() {
    if (selectedDevice < 0 || selectedDevice >= deviceModel->deviceCount ||
        RefuseAbsent(selectedDevice))
        return;
    UseAdapterForDevice(*deviceModel->DeviceTable[selectedDevice].record);
    bool applied = false;
    {
        TDetailForm dialog(this, deviceModel->DeviceTable[selectedDevice].record, &spinnerIndex);
        const qvudps_module current = *deviceModel->DeviceTable[selectedDevice].record;
        dialog.chooseAdapter = [this, current](const std::string &newIp) {
            UseAdapterForDevice(current, newIp);
        };
        Hooks().ExecDialog(dialog);
        applied = dialog.settingsApplied;
    }
    if (applied) {
        ExpectSettings(*deviceModel->DeviceTable[selectedDevice].record);
        SearchBitBtnClick();
    }
}

// ------------------------------------------------- keyboard, names, feedback

void TMainForm::SetUpKeyboardAndNames() {
    auto *searchAgain = new QAction(tr("Search again"), this);
    searchAgain->setObjectName("SearchAgainAction");
    searchAgain->setShortcut(QKeySequence(Qt::Key_F5));
    connect(searchAgain, &QAction::triggered, this, &TMainForm::SearchBitBtnClick);
    addAction(searchAgain);

    // The status line keeps its text while the pointer crosses the menu.
    ui->EditParameters1->setStatusTip(tr("Show and change every setting of the device"));
    ui->OpeninWebbrowser1->setStatusTip(tr("Open the device's web page"));
    ui->OpenTCPsetup1->setStatusTip(tr("Open a terminal on the device's TCP setup port"));
    ui->DownloadPopupMenu->setStatusTip(tr("Save the device's configuration to a file"));
    ui->UploadPopupMenu->setStatusTip(tr("Send a configuration file to the device"));
    CompareWithFile1->setStatusTip(tr("Show the settings in which the device and a file differ"));
    ui->Loaddefaultvalues1->setStatusTip(tr("Restore the device's default settings"));

    ui->LIPCaption->setBuddy(ui->LIPLabel);
    ui->LNetmaskCaption->setBuddy(ui->LNetmaskLabel);
    ui->LGatewayCaption->setBuddy(ui->LGatewayLabel);
    ui->_VersionLabel->setBuddy(ui->VersionLabel);
    ui->Label1->setBuddy(ui->StringGrid);
    ui->LogoImage->setAccessibleName(tr("%1 logo").arg(FirmName));
    ui->WWWLabel->setAccessibleName(tr("Web site %1").arg(WebSite));
    kelvo::terminal::NameControls(this);
}

void TMainForm::DrawArtwork() {
    const qreal dpr = devicePixelRatioF();
    ui->LogoImage->setPixmap(LoadBitmapResource("USER_LOGO", palette(), dpr));
    QIcon icon;
    for (qreal scale : {1.0, 2.0})
        icon.addPixmap(LoadBitmapResource("USER_ICON", palette(), scale));
    setWindowIcon(icon);
}

QColor WebSiteLinkColor(const QPalette &palette) {
    return ReadableOn(palette.color(QPalette::Highlight), palette.color(QPalette::Window));
}

void TMainForm::ShowWebSiteLink() {
    // The label keeps its own palette, so it is set from the window's.
    QPalette link = ui->WWWLabel->palette();
    link.setColor(QPalette::WindowText, WebSiteLinkColor(palette()));
    ui->WWWLabel->setPalette(link);
}

bool TMainForm::event(QEvent *event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ScreenChangeInternal)
        DrawArtwork();
    if (event->type() == QEvent::PaletteChange)
        ShowWebSiteLink();
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
        AnnounceStatus(ui->StatusBar, tip.isEmpty() ? statusText : tip);
        return true;
    }
    return QMainWindow::event(event);
}

} // namespace kelvo::ui
