#include "historyform.h"

#include "watching.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kelvo::ui {

THistoryForm::THistoryForm(QWidget *parent, const std::vector<kelvo::watch::Event> &events)
    : QDialog(parent), HistoryTable(new QTableWidget(this)),
      SaveHistoryBtn(new QPushButton(tr("&Save history..."), this)),
      CloseBtn(new QPushButton(tr("Close"), this)) {
    setObjectName("HistoryForm");
    setWindowTitle(tr("History"));
    auto *caption = new QLabel(tr("&Events of this run, newest first:"), this);
    caption->setBuddy(HistoryTable);
    HistoryTable->setObjectName("HistoryTable");
    HistoryTable->setColumnCount(5);
    HistoryTable->setHorizontalHeaderLabels(
        {tr("Time"), tr("MAC"), tr("Name"), tr("Event"), tr("Details")});
    HistoryTable->setRowCount(static_cast<int>(events.size()));
    HistoryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    HistoryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    HistoryTable->setTabKeyNavigation(false);
    HistoryTable->verticalHeader()->hide();
    HistoryTable->horizontalHeader()->setStretchLastSection(true);
    int row = 0;
    for (auto e = events.rbegin(); e != events.rend(); ++e, ++row) {
        const QStringList cells{e->time.toLocalTime().toString("HH:mm:ss"), e->mac,
                                e->fields.value("name").toString(), EventText(e->kind),
                                EventDetails(*e)};
        for (int c = 0; c < cells.size(); ++c)
            HistoryTable->setItem(row, c, new QTableWidgetItem(cells[c]));
        HistoryTable->item(row, 4)->setToolTip(kelvo::watch::ChangesText(e->changes));
    }
    HistoryTable->resizeColumnsToContents();
    SaveHistoryBtn->setObjectName("SaveHistoryBtn");
    SaveHistoryBtn->setEnabled(!events.empty());
    CloseBtn->setObjectName("CloseBtn");
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(SaveHistoryBtn, QDialogButtonBox::ActionRole);
    buttons->addButton(CloseBtn, QDialogButtonBox::RejectRole);
    connect(SaveHistoryBtn, &QPushButton::clicked, this, &THistoryForm::SaveRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(HistoryTable);
    layout->addWidget(buttons);
    resize(640, 360);
}

} // namespace kelvo::ui
