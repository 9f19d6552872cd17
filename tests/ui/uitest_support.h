// Shared pieces of the window tests: scripted answers for every box and
// dialog, and the window's view of the lab.
#ifndef KELVO_TESTS_UI_SUPPORT_H
#define KELVO_TESTS_UI_SUPPORT_H

#include "authform.h"
#include "lab.h"
#include "mainform.h"
#include "uihooks.h"

#include <QDialog>
#include <QPalette>
#include <QStringList>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace kelvo::test {

// Answers everything the windows would ask the user; records what was asked.
class ScriptedHooks : public kelvo::ui::UiHooks {
public:
    ScriptedHooks();
    ~ScriptedHooks() override;

    bool Question(QWidget *owner, const QString &text) override;
    void Error(QWidget *owner, const QString &text) override;
    QString SaveFileName(QWidget *owner, const QString &suggested) override;
    QString OpenFileName(QWidget *owner, const QString &suggested) override;
    QString SaveListFileName(QWidget *owner) override;
    int ExecDialog(QDialog &dialog) override;
    bool OpenUrl(const QString &url) override;
    int Ping(const std::string &ipText) override;

    // Answers in order; when they run out, questions get No and dialogs
    // Rejected.
    std::deque<bool> answers;
    // Runs for each modal dialog in turn and gives its result.
    std::deque<std::function<int(QDialog &)>> dialogs;
    QString fileName; // what the file choosers return
    int pingResult = 1;
    bool browserOpens = true; // what the URL opener reports

    QStringList questions, errors, urls, suggestedNames, dialogTitles;
};

// Main-window options pointing at the lab's relay, no MAC filter file.
kelvo::ui::MainOptions WindowOptions(const Lab &lab,
                                     const QString &filterFile = "/nonexistent/kelvo.filter");

// A dark palette such as a desktop in dark mode gives the program.
QPalette DarkPalette();

// Switches Qt's accessibility on or off as an attached screen reader does, so
// that the events the windows raise reach QAccessible's update handler.
void ActivateAccessibility(bool on);

// A device record made up for the dialogs ("Old", 02:AA:00:00:00:01 at
// 10.9.8.7): never found by a search, so nothing is sent for it.
qvudps_module Record();

// A dialog script for the authorisation dialog: `look` (when given) checks
// it first, then the user and password are filled in and it is accepted.
std::function<int(QDialog &)> SignIn(const QString &user, const QString &password,
                                     std::function<void(kelvo::ui::TAuthForm &)> look = {});

// Waits (running the event loop) until `done` holds; false after `ms`.
bool WaitFor(const std::function<bool()> &done, int ms);

// Shows the window and waits for its first search to end with the found text.
bool WaitForSearch(kelvo::ui::TMainForm &w, int ms = 30000);

// The texts of one grid column, top to bottom, for the filled rows.
QStringList ColumnTexts(const kelvo::ui::TMainForm &w, int column);
// The grid row (1 = first device) showing `mac`, or -1.
int RowOf(const kelvo::ui::TMainForm &w, const QString &mac);

// The MAC address of the fleet's device `i`.
QString Mac(kelvo::devsim::Fleet &f, std::size_t i);

// Starts a new search and waits for its end; false when none started.
bool SearchAgain(kelvo::ui::TMainForm &w);

// What assistive technology hears of the status lines while `run` runs.
QStringList Announced(const std::function<void()> &run);

// The name assistive technology reads for a widget.
QString AccessibleName(QWidget *w);

// Dialogs and windows with records made up by the test, behind a relay with
// no device: setups of unknown devices end at once without sending anything
// after the relay answered its probe.
class Dialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    // A main window of an earlier test may have pointed both elsewhere.
    void SetUp() override;
    static void TearDownTestSuite() { relay.reset(); }
    static inline std::unique_ptr<Lab> relay;
    ScriptedHooks hooks;
    int spinner = 0;
};

} // namespace kelvo::test

#endif
