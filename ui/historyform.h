// The history of this run: every device that appeared, changed, went offline
// or came back, newest first.
//
// Threading: user-interface thread only.
#ifndef KELVO_UI_HISTORYFORM_H
#define KELVO_UI_HISTORYFORM_H

#include "watch.h"

#include <QDialog>
#include <vector>

class QPushButton;
class QTableWidget;

namespace kelvo::ui {

class THistoryForm : public QDialog {
    Q_OBJECT
public:
    // `events` oldest first, as they happened.
    THistoryForm(QWidget *parent, const std::vector<kelvo::watch::Event> &events);

    QTableWidget *HistoryTable;
    QPushButton *SaveHistoryBtn;
    QPushButton *CloseBtn;

signals:
    // "Save history..." was chosen.
    void SaveRequested();
};

} // namespace kelvo::ui

#endif
