#include "watching.h"

#include "historyform.h"
#include "hostmacfilter.h"
#include "mainform.h"
#include "tabletext.h"
#include "ui_mainform.h"
#include "uihooks.h"
#include "usersettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>

namespace kelvo::ui {

namespace {

const char kRefreshKey[] = "Watch/RefreshAutomatically";
const char kIntervalKey[] = "Watch/RefreshSeconds";

RowState RowStateOf(kelvo::watch::State state) {
    switch (state) {
    case kelvo::watch::State::New:
        return RowState::New;
    case kelvo::watch::State::Changed:
        return RowState::Changed;
    case kelvo::watch::State::Offline:
        return RowState::Offline;
    case kelvo::watch::State::Normal:
        break;
    }
    return RowState::Normal;
}

} // namespace

QString EventText(kelvo::watch::EventKind kind) {
    switch (kind) {
    case kelvo::watch::EventKind::Appeared:
        return TWatching::tr("New");
    case kelvo::watch::EventKind::Changed:
        return TWatching::tr("Changed");
    case kelvo::watch::EventKind::Gone:
        return TWatching::tr("Offline");
    case kelvo::watch::EventKind::Back:
        return TWatching::tr("Back");
    }
    return {};
}

QString EventDetails(const kelvo::watch::Event &event) {
    if (event.kind == kelvo::watch::EventKind::Changed)
        return kelvo::watch::ChangesText(event.changes).replace('\n', "; ");
    return event.fields.value("ip").toString();
}

TWatching::TWatching(TMainForm *owner)
    : QObject(owner), RefreshCheckBox(new QCheckBox(tr("&Refresh automatically"), owner)),
      RefreshSpinBox(new QSpinBox(owner)), RefreshTimer(new QTimer(this)),
      HistoryAction(new QAction(tr("&History…"), this)), form(owner) {
    SetUpControls();
    inventoryPath = kelvo::watch::Inventory::DefaultPath();
    if (!inventory.Load(inventoryPath, &inventoryError))
        inventory = kelvo::watch::Inventory();
    firstIsBaseline = inventory.Devices().empty();
    tracker.Seed(inventory);
    form->deviceModel->tracked = &tracker.Devices();
}

void TWatching::SetUpControls() {
    RefreshCheckBox->setObjectName("RefreshCheckBox");
    RefreshCheckBox->setToolTip(tr("Search again at the interval beside, and mark what changed"));
    RefreshSpinBox->setObjectName("RefreshSpinBox");
    RefreshSpinBox->setRange(kMinSeconds, kMaxSeconds);
    RefreshSpinBox->setPrefix(tr("every "));
    RefreshSpinBox->setSuffix(tr(" s"));
    RefreshSpinBox->setAccessibleName(tr("Refresh interval in seconds"));
    form->ui->FilterLayout->addWidget(RefreshCheckBox);
    form->ui->FilterLayout->addWidget(RefreshSpinBox);
    RefreshTimer->setObjectName("RefreshTimer");

    const QSettings settings = kelvo::terminal::UserSettings();
    bool ok = false;
    const int seconds = settings.value(kIntervalKey).toInt(&ok);
    RefreshSpinBox->setValue(ok ? std::clamp(seconds, kMinSeconds, kMaxSeconds) : kDefaultSeconds);
    RefreshTimer->setInterval(RefreshSpinBox->value() * 1000);
    const bool on = settings.value(kRefreshKey, false).toBool();
    RefreshCheckBox->setChecked(on);
    if (on)
        RefreshTimer->start();

    connect(RefreshCheckBox, &QCheckBox::toggled, this, &TWatching::SetRefresh);
    connect(RefreshSpinBox, &QSpinBox::valueChanged, this, &TWatching::SetIntervalSeconds);
    connect(RefreshTimer, &QTimer::timeout, this, &TWatching::RefreshTimerTimer);

    HistoryAction->setObjectName("HistoryAction");
    HistoryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    HistoryAction->setStatusTip(tr("What appeared, changed and went offline in this run"));
    connect(HistoryAction, &QAction::triggered, this, &TWatching::HistoryClick);
    form->PopupMenu->addAction(HistoryAction);
    form->addAction(HistoryAction);
}

void TWatching::SetRefresh(bool on) {
    if (RefreshCheckBox->isChecked() != on)
        RefreshCheckBox->setChecked(on); // comes back here through toggled
    kelvo::terminal::UserSettings().setValue(kRefreshKey, on);
    if (on)
        RefreshTimer->start();
    else
        RefreshTimer->stop();
}

void TWatching::SetIntervalSeconds(int seconds) {
    seconds = std::clamp(seconds, kMinSeconds, kMaxSeconds);
    if (RefreshSpinBox->value() != seconds)
        RefreshSpinBox->setValue(seconds);
    kelvo::terminal::UserSettings().setValue(kIntervalKey, seconds);
    RefreshTimer->setInterval(seconds * 1000);
}

void TWatching::SetIntervalForTest(int ms) {
    RefreshTimer->setInterval(ms);
}

bool TWatching::Busy() const {
    return form->searching || QApplication::activeModalWidget() ||
           QApplication::activePopupWidget() || form->DefaultTimer->isActive() ||
           form->XmlTimer->isActive() ||
           (form->session && form->session->GetState() != mvxapi::xsClosed) ||
           qvudps_setup_finish() == -1;
}

void TWatching::RefreshTimerTimer() {
    if (Busy()) {
        ++skippedRefreshes;
        return;
    }
    form->StartSearch(true);
}

void TWatching::PrepareSearch(bool automatic) {
    refreshing = automatic;
    if (!automatic || lastAnswers.empty())
        return;
    std::vector<qvudps_module> known;
    known.reserve(lastAnswers.size());
    // A device that comes back answering as before is no news either.
    for (const auto &[mac, record] : lastAnswers)
        known.push_back(record);
    // Refused only beyond the library's bounds: every name is then looked up.
    qvudps_set_known_names(known.data(), static_cast<int>(known.size()));
}

RowState TWatching::StateDuringSearch(const qvudps_module &m) const {
    const auto it = tracker.Devices().find(RecordText(m.mac));
    if (it == tracker.Devices().end())
        return searches == 0 && firstIsBaseline ? RowState::Normal : RowState::New;
    return it->second.state == kelvo::watch::State::Offline ? RowState::Normal
                                                            : RowStateOf(it->second.state);
}

QString TWatching::SearchEnded(const std::vector<qvudps_module> &found) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::vector<QJsonObject> fields;
    fields.reserve(found.size());
    for (const qvudps_module &m : found)
        fields.push_back(kelvo::watch::FieldsOf(m));
    if (searches == 0 && firstIsBaseline) {
        // The first run knows nothing: this search is the start, not news.
        kelvo::watch::Inventory start;
        start.Record(fields, now);
        tracker = kelvo::watch::Tracker();
        tracker.Seed(start);
        form->deviceModel->tracked = &tracker.Devices();
    }
    const std::vector<kelvo::watch::Event> events = tracker.Search(fields, now);
    history.insert(history.end(), events.begin(), events.end());
    const bool first = searches++ == 0;
    for (const qvudps_module &m : found)
        lastAnswers[RecordText(m.mac)] = m;

    // The rows: this search's answers, then the devices of this run that
    // did not answer it, from their last answer.
    std::vector<qvudps_module> next;
    std::vector<DeviceEntry> entries;
    next.reserve(std::min<std::size_t>(lastAnswers.size(), kMaxDevices));
    QSet<QString> answered;
    for (const qvudps_module &m : found) {
        if (next.size() >= static_cast<std::size_t>(kMaxDevices))
            break;
        answered.insert(RecordText(m.mac));
        next.push_back(m);
        entries.push_back({0, nullptr, RowState::Normal, false});
    }
    for (const auto &[mac, record] : lastAnswers) {
        if (next.size() >= static_cast<std::size_t>(kMaxDevices))
            break;
        // A device the MAC filter hides now is not listed, answering or not.
        if (answered.contains(mac) || kelvo::host::IsMacFiltered(mac.toStdString()))
            continue;
        next.push_back(record);
        entries.push_back({0, nullptr, RowState::Normal, true});
    }
    for (std::size_t i = 0; i < next.size(); ++i) {
        const auto it = tracker.Devices().find(RecordText(next[i].mac));
        if (it != tracker.Devices().end())
            entries[i].state = RowStateOf(it->second.state);
        entries[i].isNew =
            entries[i].state == RowState::New || entries[i].state == RowState::Changed;
        entries[i].record = &next[i];
    }

    // One reset, with the user's place in the list kept.
    TDeviceModel *model = form->deviceModel;
    QScrollBar *scroll = form->ui->StringGrid->verticalScrollBar();
    const int top = scroll->value();
    rows.swap(next);
    model->deviceCount = static_cast<int>(entries.size());
    std::copy(entries.begin(), entries.end(), model->DeviceTable.begin());
    model->SortAndShow();
    model->FillDeviceGrid();
    if (refreshing)
        scroll->setValue(top);

    QStringList told;
    if (first && !firstIsBaseline) {
        const kelvo::watch::Summary s = tracker.FirstSearch();
        if (s.added || s.changed || s.missing)
            told << tr("%1 new, %2 changed, %3 not seen since last time")
                        .arg(s.added)
                        .arg(s.changed)
                        .arg(s.missing);
    } else if (!events.empty()) {
        int counts[4] = {0, 0, 0, 0};
        for (const auto &e : events)
            ++counts[static_cast<int>(e.kind)];
        told << tr("%1 new, %2 changed, %3 offline, %4 back")
                    .arg(counts[0])
                    .arg(counts[1])
                    .arg(counts[2])
                    .arg(counts[3]);
    }
    if (!inventoryError.isEmpty()) {
        told << tr("the inventory of earlier runs was not read: %1").arg(inventoryError);
        inventoryError.clear();
    }
    inventory.Record(fields, now);
    unsaved = true;
    // Written when it learnt something; otherwise only the times of the
    // last sighting are new, and at plant size the file costs the window a
    // second's work: then every few minutes, and when the window closes.
    if (first || !events.empty() || !lastSave.isValid() ||
        lastSave.secsTo(now) >= kSaveEverySeconds)
        if (const QString error = SaveInventory(now); !error.isEmpty())
            told << error;
    return told.join("; ");
}

QString TWatching::SaveInventory(const QDateTime &now) {
    QString error;
    if (inventory.Save(inventoryPath, &error)) {
        lastSave = now;
        unsaved = false;
        return {};
    }
    return tr("the inventory was not saved: %1").arg(error);
}

void TWatching::SaveAtClose() {
    if (!unsaved)
        return;
    // Nobody reads a status line any more; the message goes where a
    // program's last words go.
    if (const QString error = SaveInventory(QDateTime::currentDateTimeUtc()); !error.isEmpty())
        qWarning("%s", qPrintable(error));
}

void TWatching::HistoryClick() {
    THistoryForm dialog(form, history);
    connect(&dialog, &THistoryForm::SaveRequested, this, &TWatching::SaveHistoryClick);
    Hooks().ExecDialog(dialog);
}

void TWatching::SaveHistoryClick() {
    const QString path = Hooks().SaveListFileName(form);
    if (path.isEmpty())
        return;
    std::string text;
    if (path.endsWith(".json", Qt::CaseInsensitive)) {
        QJsonArray list;
        for (const auto &e : history)
            list.append(kelvo::watch::EventJson(e));
        text = QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
    } else {
        std::vector<std::vector<std::string>> lines;
        for (const auto &e : history)
            lines.push_back({e.time.toString(Qt::ISODate).toStdString(), e.mac.toStdString(),
                             e.fields.value("name").toString().toStdString(),
                             kelvo::watch::EventName(e.kind).toStdString(),
                             EventDetails(e).toStdString()});
        text = kelvo::host::FormatCsv({"Time", "MAC", "Name", "Event", "Details"}, lines);
    }
    if (!SaveListFile(form, path, text, tr("Saving the history failed: %1")))
        return;
    form->SetStatus(
        tr("History saved to %1 (%n event(s))", "", static_cast<int>(history.size())).arg(path));
}

} // namespace kelvo::ui
