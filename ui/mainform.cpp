#include "mainform.h"

#include "aboutform.h"
#include "accessiblenames.h"
#include "appmutex.h"
#include "artwork.h"
#include "authform.h"
#include "compareform.h"
#include "detailform.h"
#include "devicelistformat.h"
#include "hostadapter.h"
#include "hostmacfilter.h"
#include "hostsecrets.h"
#include "kelvo_version.h"
#include "launch.h"
#include "qvfile.h"
#include "qvtext.h"
#include "readable.h"
#include "ui_authform.h"
#include "ui_mainform.h"
#include "uihooks.h"
#include "usersettings.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <cstring>

namespace kelvo::ui {

namespace {

const QColor kLinkInCurrentRow(166, 202, 240);

// Hands the grid's cell painting to the window, which knows the devices.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TMainForm *form) : QStyledItemDelegate(form), form_(form) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        form_->StringGridDrawCell(painter, option, index);
    }

private:
    TMainForm *form_;
};

QString RecordText(const char *field, std::size_t size) {
    return QString::fromUtf8(qv::field_text(field, size));
}

#define FIELD(rec, f) RecordText((rec).f, sizeof((rec).f))

} // namespace

TMainForm::TMainForm(QWidget *parent, const MainOptions &options)
    : QMainWindow(parent), ui(new Ui::MainForm), SearchTimer(new QTimer(this)),
      InitSearchTimer(new QTimer(this)), DefaultTimer(new QTimer(this)), XmlTimer(new QTimer(this)),
      PopupMenu(new QMenu(this)), SaveDeviceList1(new QAction("Save device list...", this)) {
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
    CompareWithFile1 = new QAction("Compare with file…", this);
    PopupMenu->addAction(CompareWithFile1);
    connect(CompareWithFile1, &QAction::triggered, this, [this] { StartTransfer(false, true); });
    CompareWithFile1->setObjectName("CompareWithFile1");
    PopupMenu->addSeparator()->setObjectName("N1");
    PopupMenu->addAction(ui->Loaddefaultvalues1);
    PopupMenu->addSeparator();
    SaveDeviceList1->setObjectName("SaveDeviceList1");
    SaveDeviceList1->setShortcut(QKeySequence::Save);
    PopupMenu->addAction(SaveDeviceList1);
    addAction(SaveDeviceList1); // Ctrl+S without the menu
    SetStatus("Loading application...");

    // The widths were chosen for a small design font; they grow with the
    // font in use so that a MAC address fits its column.
    const int widths[kColumnCount] = {105, 105, 88, 144, 51, 186};
    const QFontMetrics metrics(ui->StringGrid->font());
    const double grow = std::max(1.0, (metrics.horizontalAdvance("00:00:00:00:00:00") + 8) / 105.0);
    int gridWidth = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        const int width = static_cast<int>(widths[c] * grow + 0.5);
        ui->StringGrid->setColumnWidth(c, width);
        gridWidth += width;
    }
    ui->StringGrid->setItemDelegate(new GridDelegate(this));
    ui->StringGrid->setMouseTracking(true);
    ui->StringGrid->viewport()->installEventFilter(this);
    ui->StringGrid->installEventFilter(this);
    ui->StringGrid->horizontalHeader()->setSectionsClickable(false);
    ui->StringGrid->horizontalHeader()->viewport()->installEventFilter(this);
    ui->StringGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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

    // 3. The device table.
    DeviceTable.assign(kMaxDevices, DeviceEntry{});
    sortColumn = 2;
    RestoreGridLayout();

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

    // 6. Grid headers.
    SetGridHeaders();
    ClearDeviceGrid();

    // 7. The PC's own network.
    SetUpAdapterChoice();

    // 8. Empty search state.
    seenDevices.clear();
    deviceCount = 0;
    searching = false;

    // 9. The discovery library (a second window in the same process finds it
    // already running, which is fine), with room for a large plant.
    qvudps_init();
    qvudps_set_capacity(kMaxDevices);

    // 10, 11. Title texts.
    AppVersion = KELVO_VERSION;
    AppName = "Mvx-Config";
    FirmName = "Marvane";
    AppDescription = "Config utility for the Marvane devices";
    AppComments = "Config utility for the original Marvane devices.";
    WebSite = "www.marvane.example";
    WindowTitle = "Mvx-Config " + AppVersion + " for Marvane products (" + WebSite + ")";
    setWindowTitle(WindowTitle);
    ui->DescLabel->setText(AppDescription);
    ui->WWWLabel->setText(WebSite);
    ui->FirmLabel->setText(FirmName);

    // 12. Every datagram goes through the local relay.
    relayAddress = options.relayAddress;
    relayPort = options.relayPort;
    SetSetupRoute(options.relayAddress.toStdString(), options.relayPort, false);
    qvudps_set_proxy(options.relayAddress.toLatin1().constData(), options.relayPort, "Mvx-Config");

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
    statusText_ = text;
    AnnounceStatus(ui->StatusBar, text);
}

void TMainForm::SetProgress(const QString &text) {
    statusText_ = text;
    ShowProgressStatus(ui->StatusBar, text);
}

QChar TMainForm::NextSpinner() {
    spinnerIndex = (spinnerIndex + 1) % 4;
    return QChar(qv::spinner_char(static_cast<unsigned>(spinnerIndex)));
}

// ---------------------------------------------------------------- search flow

void TMainForm::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
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
    if (searching || !PrepareSearchRoute())
        return;
    ClearDeviceGrid();
    SetStatus("Searching modules... -");
    if (qvudps_search(1, this) == -1) {
        SetStatus("Searching modules... error");
        return;
    }
    // The rows of the previous result go; their keys stay for the mark.
    deviceCount = 0;
    partialCount_ = 0;
    partialRecords_.assign(kMaxDevices, qvudps_module{});
    previousKeys_ = QSet<QString>(seenDevices.begin(), seenDevices.end());
    searching = true;
    SearchTimer->start();
    spinnerIndex = 0;
    searchTicks = 609;
    if (newMarkDelay > 0)
        --newMarkDelay;
}

void TMainForm::ShowPartialResult() {
    const int total = std::min(qvudps_count_partial(), kMaxDevices);
    bool added = false, renamed = false;
    for (; partialCount_ < total; ++partialCount_) {
        qvudps_module &m = partialRecords_[partialCount_];
        if (qvudps_record_partial(partialCount_, &m) != 0)
            break;
        if (kelvo::host::IsMacFiltered(std::string(m.mac, strnlen(m.mac, sizeof m.mac))))
            continue;
        DeviceTable[deviceCount].isNew = previousKeys_.contains(DeviceKey(m)) ? 0 : 1;
        DeviceTable[deviceCount].record = &m;
        ++deviceCount;
        added = true;
    }
    // Names come in after the replies; only rows still without one can change.
    for (int row = 0; row < deviceCount; ++row) {
        qvudps_module &m = *DeviceTable[row].record;
        if (m.name[0] != '\0')
            continue;
        const auto index = static_cast<int>(&m - partialRecords_.data());
        qvudps_module fresh;
        if (qvudps_record_partial(index, &fresh) != 0 || fresh.name[0] == '\0')
            continue;
        std::memcpy(m.name, fresh.name, sizeof m.name);
        renamed = true;
        if (!added && sortColumn != 1)
            ui->StringGrid->setItem(row, 1, new QTableWidgetItem(RowTexts(m)[1]));
    }
    if (added || (renamed && sortColumn == 1)) {
        SortDeviceTable(sortColumn);
        FillRows();
    }
}

void TMainForm::SearchTimerTimer() {
    if (qvudps_search_finish() == -1) {
        ShowPartialResult();
        const QChar spin = NextSpinner();
        SetProgress(QString("Searching modules (remains %1 seconds)... %2")
                        .arg(searchTicks / 10)
                        .arg(spin));
        if (--searchTicks < 0) {
            SearchTimer->stop();
            SetStatus(QString("Searching modules... timed out after %1 seconds").arg(60));
            // The library's own end normally comes long before; should it not,
            // the button must still work for a new try.
            searching = false;
        }
        return;
    }
    SearchTimer->stop();
    int i = 0;
    if (qvudps_count() > 0) {
        qvudps_module *record = nullptr;
        while (qvudps_record(&record) == 0) {
            if (kelvo::host::IsMacFiltered(
                    std::string(record->mac, strnlen(record->mac, sizeof record->mac))))
                continue;
            if (i >= kMaxDevices) {
                SetStatus("Searching modules... too many devices");
                break;
            }
            DeviceTable[i].isNew = previousKeys_.contains(DeviceKey(*record)) ? 0 : 1;
            DeviceTable[i].record = record;
            ++i;
        }
    }
    deviceCount = i;
    SortDeviceTable(sortColumn);
    FillDeviceGrid();
    searching = false;
    QString found = "Searching modules... " + QString::number(deviceCount) + " device(s) found";
    if (const int dropped = qvudps_count_dropped(); dropped > 0)
        found += ", " + QString::number(dropped) + " more answered but did not fit the list";
    if (qvudps_count() == 0 && !directSearch)
        found += " (" + NothingFoundHint() + ")";
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
    DefaultTimer->stop();
    XmlTimer->stop();
    // The library keeps running; it must not hand this window to anyone later.
    qvudps_clr_ptr(this);
    if (session) {
        QSettings settings = kelvo::terminal::UserSettings();
        settings.setValue("MainWindow/Geometry", saveGeometry());
        settings.setValue("MainWindow/SortColumn", sortColumn);
        settings.setValue("MainWindow/SortDescending", sortDescending);
        QStringList widths;
        for (int c = 0; c < kColumnCount; ++c)
            widths << QString::number(ui->StringGrid->columnWidth(c));
        settings.setValue("MainWindow/ColumnWidths", widths.join(','));
    }
    session.reset();
}

// ---------------------------------------------------------------- device grid

void TMainForm::RestoreGridLayout() {
    // What another version or a hand edit left there is taken only when it
    // makes sense; anything else keeps the designed layout.
    const QSettings settings = kelvo::terminal::UserSettings();
    bool ok = false;
    const int column = settings.value("MainWindow/SortColumn").toInt(&ok);
    if (ok && column >= 0 && column <= 4) {
        sortColumn = column;
        sortDescending = settings.value("MainWindow/SortDescending").toBool();
    }
    const QStringList widths =
        settings.value("MainWindow/ColumnWidths").toString().split(',', Qt::SkipEmptyParts);
    if (widths.size() != kColumnCount)
        return;
    int width[kColumnCount];
    for (int c = 0; c < kColumnCount; ++c) {
        width[c] = widths[c].toInt(&ok);
        if (!ok || width[c] < 10 || width[c] > 4000)
            return;
    }
    for (int c = 0; c < kColumnCount; ++c)
        ui->StringGrid->setColumnWidth(c, width[c]);
}

int TMainForm::CurrentRow() const {
    const int r = ui->StringGrid->currentRow();
    return r < 0 ? 1 : r + 1;
}

void TMainForm::SetCurrentRow(int row) {
    MoveCurrentRow(row);
    NoteChosenRow(CurrentRow());
}

void TMainForm::MoveCurrentRow(int row) {
    ++ownRowChange_;
    const int col = std::max(0, ui->StringGrid->currentColumn());
    ui->StringGrid->setCurrentCell(std::max(row, 1) - 1, col);
    --ownRowChange_;
}

void TMainForm::NoteChosenRow(int row) {
    if (const QTableWidgetItem *item = ui->StringGrid->item(row - 1, 0);
        item && !item->text().isEmpty()) {
        keepMac_ = item->text();
        rowChosen_ = true;
    }
}

int TMainForm::RowCount() const {
    return ui->StringGrid->rowCount() + 1;
}

void TMainForm::SetGridHeaders() {
    ui->StringGrid->setHorizontalHeaderLabels(GridHeaders(sortColumn));
    QHeaderView *header = ui->StringGrid->horizontalHeader();
    header->setSortIndicatorShown(sortColumn >= 0 && sortColumn <= 4);
    header->setSortIndicator(sortColumn, sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TMainForm::ClearDeviceGrid() {
    ++ownRowChange_;
    MoveCurrentRow(1);
    ui->StringGrid->clearContents();
    ui->StringGrid->setRowCount(1);
    for (int c = 0; c < kColumnCount; ++c)
        ui->StringGrid->setItem(0, c, new QTableWidgetItem);
    MoveCurrentRow(1);
    --ownRowChange_;
}

void TMainForm::SortDeviceTable(int column) {
    kelvo::ui::SortDeviceTable(DeviceTable, deviceCount, column, sortDescending);
}

void TMainForm::FillDeviceGrid() {
    seenDevices.clear();
    seenDevices.reserve(deviceCount);
    for (int i = 0; i < deviceCount; ++i)
        seenDevices.append(DeviceKey(*DeviceTable[i].record));
    FillRows();
}

void TMainForm::FillRows() {
    // The device the user chose stays current when rows are added, sorted or
    // replaced by the final list. Until the user chooses one, the first row
    // is current and in view, however the devices' answers were ordered:
    // Enter must never act on a device nobody picked.
    ++ownRowChange_;
    ui->StringGrid->setUpdatesEnabled(false);
    ui->StringGrid->setRowCount(std::max(deviceCount, 1));
    // One change notice for the whole grid instead of one per cell: the
    // rows already exist, only their texts are new.
    QAbstractItemModel *model = ui->StringGrid->model();
    const bool wasBlocked = model->blockSignals(true);
    for (int i = 0; i < deviceCount; ++i) {
        const QStringList cells = RowTexts(*DeviceTable[i].record);
        for (int c = 0; c < kColumnCount; ++c)
            ui->StringGrid->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    model->blockSignals(wasBlocked);
    if (deviceCount > 0)
        emit model->dataChanged(model->index(0, 0),
                                model->index(deviceCount - 1, kColumnCount - 1));
    int keep = 1;
    for (int i = 0; rowChosen_ && i < deviceCount; ++i) {
        if (FIELD(*DeviceTable[i].record, mac) == keepMac_) {
            keep = i + 1;
            break;
        }
    }
    MoveCurrentRow(keep);
    if (!rowChosen_)
        ui->StringGrid->scrollToTop();
    --ownRowChange_;
    ui->StringGrid->setUpdatesEnabled(true);
    ui->StringGrid->viewport()->update();
}

int TMainForm::FindDeviceByRow(int row) const {
    if (row < 1 || row > ui->StringGrid->rowCount())
        return -1;
    const QTableWidgetItem *item = ui->StringGrid->item(row - 1, 0);
    const QString mac = item ? item->text() : QString();
    if (mac.isEmpty())
        return -1;
    for (int i = 0; i < deviceCount; ++i) {
        if (FIELD(*DeviceTable[i].record, mac) == mac)
            return i;
    }
    return -1;
}

void TMainForm::StringGridDrawCell(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) {
    const int row = index.row() + 1;
    const int col = index.column();
    const QRect r = option.rect;
    painter->save();
    if (row > deviceCount) {
        painter->fillRect(r, option.palette.color(QPalette::Base));
        painter->restore();
        return;
    }
    const DeviceEntry &entry = DeviceTable[row - 1];
    const bool current = index.row() == ui->StringGrid->currentRow();
    const bool link = col == 0 || (col == 2 && entry.record->web_supported);
    const CellColors colors =
        GridCellColors(option.palette, current, newMarkDelay == 0 && entry.isNew, link);
    const QColor &background = colors.background;
    const QColor &text = colors.text;
    QFont font = option.font;
    font.setUnderline(link);
    // The background covers the grid line at the right edge as well.
    painter->setPen(background);
    painter->drawLine(r.right(), r.top(), r.right(), r.bottom());
    painter->fillRect(r, background);
    painter->setFont(font);
    painter->setPen(text);
    // A text longer than its cell ends in an ellipsis; the tool tip has it all.
    const QRect textRect = r.adjusted(2, 2, -2, 0);
    painter->drawText(
        textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, textRect.width()));
    painter->restore();
}

void TMainForm::StringGridMouseMove(const QPoint &pos) {
    const QModelIndex index = ui->StringGrid->indexAt(pos);
    const int row = index.isValid() ? index.row() + 1 : -1;
    const int col = index.column();
    bool link = false;
    if (row > 0 && col == 0)
        link = true;
    else if (row > 0 && col == 2 && row - 1 < deviceCount &&
             DeviceTable[row - 1].record->web_supported)
        link = true;
    if (link) {
        ui->StringGrid->viewport()->setCursor(Qt::PointingHandCursor);
        clickOpensDetail = col == 0;
    } else {
        ui->StringGrid->viewport()->setCursor(Qt::ArrowCursor);
        clickOpensDetail = false;
    }
}

void TMainForm::StringGridMouseDown(Qt::MouseButton button, int row, int column,
                                    const QPoint &globalPos) {
    if (row < 1) {
        if (!searching && row == 0 && column >= 0 && column <= 4) {
            sortDescending = column == sortColumn && !sortDescending;
            sortColumn = column;
            SetGridHeaders();
            ClearDeviceGrid();
            SortDeviceTable(sortColumn);
            FillDeviceGrid();
        }
        return;
    }
    SetCurrentRow(row);
    if (button == Qt::RightButton)
        PopupMenu->popup(globalPos);
    else if (button == Qt::LeftButton)
        HandleGridClick();
}

void TMainForm::HandleGridClick() {
    if (deviceCount < CurrentRow())
        SetCurrentRow(deviceCount > 0 ? deviceCount : 1);
    const bool hand = ui->StringGrid->viewport()->cursor().shape() == Qt::PointingHandCursor;
    if (!hand || CurrentRow() <= 0)
        return;
    if (clickOpensDetail) {
        StringGridDblClick();
        return;
    }
    if (CurrentRow() > deviceCount)
        return;
    const qvudps_module &m = *DeviceTable[CurrentRow() - 1].record;
    if (!m.web_supported || CheckReachable(FIELD(m, ip)) != 0)
        return;
    SetStatus("Openning in WEB Browser...");
    OpenInBrowser(FIELD(m, ip), WebPortOf(m), this);
    SetStatus("Ready");
}

void TMainForm::StringGridDblClick() {
    selectedDevice = FindDeviceByRow(CurrentRow());
    if (selectedDevice != -1)
        ShowDetailDialog();
}

void TMainForm::StringGridKeyDown(int key) {
    if (key == 13)
        StringGridDblClick();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
    QWidget *gridArea = ui->StringGrid->viewport();
    if (watched == gridArea) {
        if (event->type() == QEvent::ToolTip) {
            auto *he = static_cast<QHelpEvent *>(event);
            QToolTip::showText(he->globalPos(), StringGridHint(he->pos()), gridArea);
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            StringGridMouseMove(static_cast<QMouseEvent *>(event)->position().toPoint());
        } else if (event->type() == QEvent::MouseButtonPress) {
            auto *me = static_cast<QMouseEvent *>(event);
            const QPoint pos = me->position().toPoint();
            StringGridMouseMove(pos);
            const QModelIndex index = ui->StringGrid->indexAt(pos);
            StringGridMouseDown(me->button(), index.isValid() ? index.row() + 1 : -1,
                                index.isValid() ? index.column() : -1,
                                me->globalPosition().toPoint());
            return true;
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                StringGridDblClick();
            return true;
        }
    } else if (watched == ui->StringGrid->horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *me = static_cast<QMouseEvent *>(event);
            const int column =
                ui->StringGrid->horizontalHeader()->logicalIndexAt(me->position().toPoint());
            StringGridMouseDown(me->button(), 0, column, me->globalPosition().toPoint());
            return true;
        }
    } else if (watched == ui->StringGrid) {
        if (event->type() == QEvent::KeyPress) {
            auto *ke = static_cast<QKeyEvent *>(event);
            if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
                StringGridKeyDown(13);
                return true;
            }
            if (ke->matches(QKeySequence::Copy)) {
                QGuiApplication::clipboard()->setText(SelectedRowsText());
                return true;
            }
            if (ke->key() == Qt::Key_Menu ||
                (ke->key() == Qt::Key_F10 && ke->modifiers() == Qt::ShiftModifier)) {
                OpenPopupMenuForCurrentRow();
                return true;
            }
        }
    } else if (event->type() == QEvent::MouseButtonPress &&
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
    return QMainWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------- device actions

void TMainForm::PopupMenuPopup() {
    selectedDevice = FindDeviceByRow(CurrentRow());
    const PopupMenuState s =
        MenuStateFor(selectedDevice == -1 ? nullptr : DeviceTable[selectedDevice].record);
    ui->EditParameters1->setEnabled(s.detail);
    ui->OpeninWebbrowser1->setEnabled(s.web);
    ui->Loaddefaultvalues1->setEnabled(s.defaults);
    ui->DownloadPopupMenu->setEnabled(s.download);
    ui->UploadPopupMenu->setEnabled(s.upload);
    CompareWithFile1->setEnabled(s.download);
    ui->OpenTCPsetup1->setEnabled(s.tcpSetup);
    // The entries name the ports they will really use.
    const qvudps_module *m = selectedDevice == -1 ? nullptr : DeviceTable[selectedDevice].record;
    ui->OpeninWebbrowser1->setText(
        QString("Open in &WEB Browser (port %1)").arg(m ? WebPortOf(*m) : 80));
    ui->OpenTCPsetup1->setText(
        QString("Open &TCP Setup (port %1)").arg(m ? TcpSetupPortOf(*m) : 99));
}

void TMainForm::EditParameters1Click() {
    StringGridDblClick();
}

void TMainForm::OpeninWebbrowser1Click() {
    if (selectedDevice < 0 || selectedDevice >= deviceCount)
        return;
    const qvudps_module &m = *DeviceTable[selectedDevice].record;
    if (CheckReachable(FIELD(m, ip)) != 0)
        return;
    SetStatus("Openning in WEB Browser...");
    OpenInBrowser(FIELD(m, ip), WebPortOf(m), this);
    SetStatus("Ready");
}

void TMainForm::OpenTCPsetup1Click() {
    if (selectedDevice < 0 || selectedDevice >= deviceCount)
        return;
    const qvudps_module &m = *DeviceTable[selectedDevice].record;
    SetStatus("Openning TCP Setup...");
    OpenTcpSetup(this, FIELD(m, ip), TcpSetupPortOf(m));
    SetStatus("Ready");
}

void TMainForm::Loaddefaultvalues1Click() {
    if (selectedDevice < 0 || selectedDevice >= deviceCount)
        return;
    if (!Hooks().Question(this, "Are you sure to set default values?"))
        return;
    qvudps_module *record = DeviceTable[selectedDevice].record;
    if (AskDeviceCredentials(this, *record) || !RelayReadyForSetup(this))
        return;
    record->load_defaults = 1;
    if (qvudps_setup(record, 0, this) == -1) {
        Hooks().Error(this, "Sending new setting failed");
        return;
    }
    ExpectSettings(*record);
    SetStatus("Sending default settings...");
    defaultTicks = 150;
    DefaultTimer->start();
}

void TMainForm::DefaultTimerTimer() {
    if (qvudps_setup_finish() == -1) {
        SetProgress(QString("Sending default settings... %1").arg(NextSpinner()));
        if (--defaultTicks < 0) {
            DefaultTimer->stop();
            SetStatus("Sending default settings... timeout error");
            sentSettings_.reset();
        }
        return;
    }
    DefaultTimer->stop();
    SearchBitBtnClick();
}

void TMainForm::ShowDetailDialog() {
    if (selectedDevice < 0 || selectedDevice >= deviceCount)
        return;
    UseAdapterForDevice(*DeviceTable[selectedDevice].record);
    bool applied = false;
    {
        TDetailForm dialog(this, DeviceTable[selectedDevice].record, &spinnerIndex);
        const qvudps_module current = *DeviceTable[selectedDevice].record;
        dialog.chooseAdapter = [this, current](const std::string &newIp) {
            UseAdapterForDevice(current, newIp);
        };
        Hooks().ExecDialog(dialog);
        applied = dialog.settingsApplied;
    }
    if (applied) {
        ExpectSettings(*DeviceTable[selectedDevice].record);
        SearchBitBtnClick();
    }
}

// ---------------------------------------------------- configuration transfer

void TMainForm::SaveDeviceListClick() {
    const QString path = Hooks().SaveListFileName(this);
    if (path.isEmpty())
        return;
    std::vector<qvudps_module> list;
    for (int i = 0; i < deviceCount; ++i)
        list.push_back(*DeviceTable[static_cast<size_t>(i)].record);
    const auto format = path.endsWith(".json", Qt::CaseInsensitive) ? kelvo::host::Format::Json
                                                                    : kelvo::host::Format::Csv;
    const std::string text = kelvo::host::FormatDevices(list, format);
    // The old file stays whole until the new one is complete, and a link at
    // the chosen name is refused rather than followed.
    const QByteArray name = QFile::encodeName(path);
    const qv::write_result r =
        qv::write_file(name.constData(), text.data(), text.size(), qv::write_mode::replace, 0666);
    if (!r.ok()) {
        Hooks().Error(this,
                      "Saving the device list failed: " +
                          QString::fromLocal8Bit(qv::write_error_text(name.toStdString(), r)));
        return;
    }
    SetStatus(QString("Device list saved to %1 (%2 device(s))").arg(path).arg(deviceCount));
}

void TMainForm::DownloadPopupMenuClick() {
    StartTransfer(false);
}

void TMainForm::UploadPopupMenuClick() {
    StartTransfer(true);
}

void TMainForm::StartTransfer(bool upload, bool compare) {
    const int index = FindDeviceByRow(CurrentRow());
    if (index == -1 || !session)
        return;
    uploadMode = upload ? 1 : compare ? 2 : 0;
    const qvudps_module &m = *DeviceTable[index].record;
    session->host = std::string(m.ip, strnlen(m.ip, sizeof m.ip));
    session->port = m.port;
    const QString suggested = SuggestedFileName(m);
    if (upload || compare) {
        const QString file = Hooks().OpenFileName(this, suggested);
        if (file.isEmpty())
            return;
        OpenDialogFileName = file;
    } else {
        const QString file = Hooks().SaveFileName(this, suggested);
        if (file.isEmpty())
            return;
        SaveDialogFileName = file;
    }
    // Failures arrive as OnError; a session still busy refuses with -2.
    if (session->Open() == 0)
        SetStatus(upload ? "Uploading configuration..." : "Downloading configuration...");
}

void TMainForm::XmlOpenEvent(mvxapi::TSdkSimpleEventArgs *) {
    if (session->GetSetup() != 0)
        session->Close();
    else
        XmlTimer->start();
}

void TMainForm::XmlTimerTimer() {
    spinnerIndex += 1;
    if (spinnerIndex > 3)
        spinnerIndex = 0;
    const QChar spin(qv::spinner_char(static_cast<unsigned>(spinnerIndex)));
    const int state = session ? session->GetState() : 0;
    if (state == mvxapi::xsSetup)
        SetProgress(QString("Downloading configuration... %1").arg(spin));
    else if (state == mvxapi::xsSendSetup)
        SetProgress(QString("Uploading configuration... %1").arg(spin));
}

void TMainForm::XmlSetupEvent(mvxapi::TIoXmlSetupEventArgs *) {
    XmlTimer->stop();
    if (uploadMode == 2) {
        const std::string document = DeviceSetupText(session->GetHandle());
        session->Close();
        SetStatus("Downloading configuration... done");
        ShowComparison(this, document, QString::fromStdString(session->host), OpenDialogFileName);
        return;
    }
    if (uploadMode == 0) {
        SetStatus("Downloading configuration... done");
        const int rc = session->GetSetupToFile(QFile::encodeName(SaveDialogFileName).constData());
        if (rc != 0) {
            // The user must not believe a file was saved when it was not.
            mvxapi::TSdkError error;
            session->GetSdkError(error, false);
            const QString reason = error.text.empty()
                                       ? QString("Cannot write %1").arg(SaveDialogFileName)
                                       : QString::fromStdString(error.text);
            SetStatus("Downloading configuration... " + reason);
        }
        session->Close();
        return;
    }
    const int rc = session->SendSetupFile(QFile::encodeName(OpenDialogFileName).constData(), true);
    if (rc == 0) {
        XmlTimer->start();
        return;
    }
    if (rc == -8) {
        SetStatus("Uploading configuration... Invalid XML file");
    } else if (rc == -1) {
        mvxapi::TSdkError error;
        session->GetSdkError(error, false);
        SetStatus("Uploading configuration... " + QString::fromStdString(error.text));
    }
    session->Close();
}

void TMainForm::XmlSetupSentEvent(mvxapi::TIoXmlSetupEventArgs *) {
    XmlTimer->stop();
    SetStatus("Uploading configuration... done");
    session->Close();
}

void TMainForm::XmlErrorEvent(mvxapi::TSdkErrorEventArgs *args) {
    XmlTimer->stop();
    const QString text = QString::fromStdString(args->text);
    if (args->operation == mvxapi::xsSetup)
        SetStatus("Downloading configuration... " + text);
    else if (args->operation == mvxapi::xsSendSetup)
        SetStatus("Uploading configuration... " + text);
    else
        SetStatus("XML error: " + text);
    session->Close();
    if ((args->code == 48 || args->code == 50) && !PasswordRefusedForDirectSearch(this)) {
        TAuthForm dialog(this);
        if (Hooks().ExecDialog(dialog) == QDialog::Accepted) {
            session->user = dialog.ui->UserEdit->text().toLocal8Bit().toStdString();
            QString entered = TakePassword(dialog);
            QByteArray password = entered.toLocal8Bit();
            WipeText(entered);
            session->password.assign(password.constData(), static_cast<size_t>(password.size()));
            password.fill('\0');
            session->Open();
            // The handle keeps its own copy for this transfer; the next one
            // asks again rather than keep the password in the window.
            kelvo::host::WipeString(session->password);
        }
    }
}

// ------------------------------------------------- keyboard, names, feedback

void TMainForm::SetUpKeyboardAndNames() {
    QTableWidget *grid = ui->StringGrid;
    // Tab leaves the grid for the window's other controls; rows can be
    // selected together for copying.
    grid->setTabKeyNavigation(false);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A row made current by the keyboard or assistive technology is the
    // user's choice as much as a click.
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (ownRowChange_ == 0 && current.isValid())
                    NoteChosenRow(current.row() + 1);
            });

    auto *searchAgain = new QAction("Search again", this);
    searchAgain->setObjectName("SearchAgainAction");
    searchAgain->setShortcut(QKeySequence(Qt::Key_F5));
    connect(searchAgain, &QAction::triggered, this, &TMainForm::SearchBitBtnClick);
    addAction(searchAgain);

    // The status line keeps its text while the pointer crosses the menu.
    ui->EditParameters1->setStatusTip("Show and change every setting of the device");
    ui->OpeninWebbrowser1->setStatusTip("Open the device's web page");
    ui->OpenTCPsetup1->setStatusTip("Open a terminal on the device's TCP setup port");
    ui->DownloadPopupMenu->setStatusTip("Save the device's configuration to a file");
    ui->UploadPopupMenu->setStatusTip("Send a configuration file to the device");
    CompareWithFile1->setStatusTip("Show the settings in which the device and a file differ");
    ui->Loaddefaultvalues1->setStatusTip("Restore the device's default settings");

    ui->LIPCaption->setBuddy(ui->LIPLabel);
    ui->LNetmaskCaption->setBuddy(ui->LNetmaskLabel);
    ui->LGatewayCaption->setBuddy(ui->LGatewayLabel);
    ui->_VersionLabel->setBuddy(ui->VersionLabel);
    ui->Label1->setBuddy(grid);
    ui->LogoImage->setAccessibleName(FirmName + " logo");
    ui->WWWLabel->setAccessibleName("Web site " + WebSite);
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

QColor NewDeviceColor(const QPalette &palette) {
    // A tint of the selection colour over the row's own background, so the
    // mark shows on light and dark desktops alike.
    const QColor base = palette.color(QPalette::Base);
    const QColor tint = palette.color(QPalette::Highlight);
    const auto mix = [](int b, int t) { return (b * 4 + t) / 5; };
    return QColor(mix(base.red(), tint.red()), mix(base.green(), tint.green()),
                  mix(base.blue(), tint.blue()));
}

CellColors GridCellColors(const QPalette &palette, bool current, bool newMark, bool link) {
    CellColors c;
    c.background = current ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
    c.text = current ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);
    if (newMark && !current)
        c.background = NewDeviceColor(palette);
    if (link)
        c.text = current ? kLinkInCurrentRow : palette.color(QPalette::Highlight);
    // The designed link colours were chosen for one light desktop; on others
    // they can vanish into the row, the selected one above all.
    c.text = ReadableOn(c.text, c.background);
    return c;
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

QString TMainForm::StringGridHint(const QPoint &pos) const {
    const QTableWidget *grid = ui->StringGrid;
    const QModelIndex index = grid->indexAt(pos);
    const QString text = index.data().toString();
    if (index.isValid() &&
        QFontMetrics(grid->font()).horizontalAdvance(text) > grid->visualRect(index).width() - 4)
        return text;
    return grid->toolTip();
}

bool TMainForm::event(QEvent *event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ScreenChangeInternal)
        DrawArtwork();
    if (event->type() == QEvent::PaletteChange)
        ShowWebSiteLink();
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
        AnnounceStatus(ui->StatusBar, tip.isEmpty() ? statusText_ : tip);
        return true;
    }
    return QMainWindow::event(event);
}

QString TMainForm::SelectedRowsText() const {
    QModelIndexList rows = ui->StringGrid->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &index : rows) {
        if (index.row() >= deviceCount)
            continue;
        QStringList cells;
        for (int c = 0; c < kColumnCount; ++c) {
            const QTableWidgetItem *item = ui->StringGrid->item(index.row(), c);
            cells << (item ? item->text() : QString());
        }
        lines << cells.join('\t');
    }
    return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

void TMainForm::OpenPopupMenuForCurrentRow() {
    QTableWidget *grid = ui->StringGrid;
    const QRect cell = grid->visualRect(grid->model()->index(CurrentRow() - 1, 0));
    PopupMenu->popup(grid->viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint()));
}

void TMainForm::ExpectSettings(const qvudps_module &sent) {
    sentSettings_ = sent;
}

void TMainForm::CheckSettingsTaken() {
    if (!sentSettings_)
        return;
    const qvudps_module sent = *sentSettings_;
    sentSettings_.reset();
    const QString mac = FIELD(sent, mac);
    const qvudps_module *now = nullptr;
    for (int i = 0; i < deviceCount && !now; ++i) {
        if (FIELD(*DeviceTable[i].record, mac) == mac)
            now = DeviceTable[i].record;
    }
    const QString password = sent.setup_auth_required ? " Check the password." : "";
    QString message;
    if (now && !sent.load_defaults && SettingsNotTaken(sent, *now).isEmpty()) {
        // The dialog closed and a search ran; only this says it worked.
        const QString name = FIELD(sent, name);
        SetStatus(statusText_ + QString(". Settings applied to %1; confirmed by a new search")
                                    .arg(name.isEmpty() ? mac : QString("%1 (%2)").arg(name, mac)));
        return;
    }
    if (!now) {
        message = QString("The device %1 did not answer the search after the setup.").arg(mac);
    } else if (sent.load_defaults) {
        // The defaults themselves are the device's to know: settings that did
        // not change may already have been the defaults, so this is only said
        // in the status line.
        if (sent.setup_auth_required && SettingsNotTaken(sent, *now).isEmpty())
            SetStatus(statusText_ +
                      QString(". The device %1 reports the same settings as "
                              "before; unless they were its defaults already, it "
                              "did not take the default values.")
                          .arg(mac) +
                      password);
        return;
    } else if (const QStringList differ = SettingsNotTaken(sent, *now); !differ.isEmpty()) {
        message = QString("The device %1 did not take the new settings (%2).")
                      .arg(mac, differ.join(", "));
    }
    if (message.isEmpty())
        return;
    SetStatus(statusText_ + ". " + message + password);
    Hooks().Error(this, message + password);
}

} // namespace kelvo::ui
