#include "uitest_support.h"

#include "authform.h"
#include "ui_authform.h"
#include "ui_mainform.h"
#include "watch.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <cstring>

// Qt offers no public switch: accessibility comes on when an assistive
// technology connects. Its platform switch is exported for Qt's own tests;
// the offscreen platform keeps Qt's default accessibility object.
class QPlatformAccessibility {
public:
    void setActive(bool active);
};
class QPlatformIntegration {
public:
    QPlatformAccessibility *accessibility() const;
};
class QGuiApplicationPrivate {
public:
    static QPlatformIntegration *platform_integration;
};

namespace kelvo::test {

void ActivateAccessibility(bool on) {
    QGuiApplicationPrivate::platform_integration->accessibility()->setActive(on);
}

ScriptedHooks::ScriptedHooks() {
    kelvo::ui::SetHooks(this);
    // Every test's windows start as the first run: nothing known from
    // another test's, whichever process ran it. Only in a scratch data
    // folder: a tool that did not set one is looking at the user's.
    const QString scratch = qEnvironmentVariable("XDG_DATA_HOME");
    const QString inventory = kelvo::watch::Inventory::DefaultPath();
    if (!scratch.isEmpty() && inventory.startsWith(scratch + "/"))
        QFile::remove(inventory);
}

ScriptedHooks::~ScriptedHooks() {
    kelvo::ui::SetHooks(nullptr);
}

bool ScriptedHooks::Question(QWidget *, const QString &text) {
    questions << text;
    if (answers.empty())
        return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedHooks::Error(QWidget *, const QString &text) {
    errors << text;
}

QString ScriptedHooks::SaveFileName(QWidget *, const QString &suggested) {
    suggestedNames << suggested;
    return fileName;
}

QString ScriptedHooks::SaveListFileName(QWidget *) {
    return fileName;
}

QString ScriptedHooks::OpenFileName(QWidget *, const QString &suggested) {
    suggestedNames << suggested;
    return fileName;
}

int ScriptedHooks::ExecDialog(QDialog &dialog) {
    dialogTitles << dialog.windowTitle();
    if (dialogs.empty())
        return QDialog::Rejected;
    auto handler = std::move(dialogs.front());
    dialogs.pop_front();
    return handler(dialog);
}

bool ScriptedHooks::OpenUrl(const QString &url) {
    urls << url;
    return browserOpens;
}

int ScriptedHooks::Ping(const std::string &) {
    return pingResult;
}

kelvo::ui::MainOptions WindowOptions(const Lab &lab, const QString &filterFile) {
    kelvo::ui::MainOptions o;
    o.relayAddress = "127.0.0.1";
    o.relayPort = lab.relay_port();
    o.macFilterFile = filterFile;
    return o;
}

std::function<int(QDialog &)> SignIn(const QString &user, const QString &password,
                                     std::function<void(kelvo::ui::TAuthForm &)> look) {
    return [=](QDialog &d) {
        auto &auth = static_cast<kelvo::ui::TAuthForm &>(d);
        if (look)
            look(auth);
        auth.ui->UserEdit->setText(user);
        auth.ui->PassEdit->setText(password);
        return int(QDialog::Accepted);
    };
}

bool WaitFor(const std::function<bool()> &done, int ms) {
    return QTest::qWaitFor(done, ms);
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 30), text(230, 230, 230);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, QColor(38, 79, 120));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::ToolTipBase, base);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, QColor(140, 140, 140));
    }
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::Base, base);
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    return p;
}

qvudps_module Record() {
    qvudps_module m{};
    std::strcpy(m.mac, "02:AA:00:00:00:01");
    std::strcpy(m.ip, "10.9.8.7");
    std::strcpy(m.mask, "255.255.255.0");
    std::strcpy(m.gateway, "10.9.8.1");
    std::strcpy(m.filter_ip, "0.0.0.0");
    std::strcpy(m.filter_mask, "0.0.0.0");
    std::strcpy(m.firmware, "3.5.10");
    std::strcpy(m.type_name, "Serial converter");
    std::strcpy(m.name, "Old");
    m.type = 7;
    m.port = 10001;
    m.nvt_supported = m.tea_supported = m.filter_supported = m.tcp_setup_supported = 1;
    m.name_supported = 1;
    m.tcp_setup_port = 99;
    return m;
}

bool WaitForSearch(kelvo::ui::TMainForm &w, int ms) {
    if (!w.isVisible())
        w.show();
    // In whatever language the window speaks, with any count (the singular
    // may differ from the plural).
    QStringList forms;
    for (const int n : {1, 7777})
        forms << QRegularExpression::escape(
                     kelvo::ui::TMainForm::tr("Searching modules... %n device(s) found", nullptr,
                                              n))
                     .replace("7777", "\\d+")
                     .replace("1", "\\d+");
    const QRegularExpression found("^(" + forms.join('|') + ")");
    return WaitFor([&w, &found] { return !w.searching && found.match(w.StatusText()).hasMatch(); },
                   ms);
}

QStringList ColumnTexts(const kelvo::ui::TMainForm &w, int column) {
    QStringList out;
    for (int r = 1; r <= w.ui->StringGrid->RowCount(); ++r) {
        if (w.ui->StringGrid->FindDeviceByRow(r) >= 0)
            out << w.ui->StringGrid->CellText(r, column);
    }
    return out;
}

int RowOf(const kelvo::ui::TMainForm &w, const QString &mac) {
    const QStringList macs = ColumnTexts(w, 0);
    const qsizetype i = macs.indexOf(mac);
    return i < 0 ? -1 : static_cast<int>(i) + 1;
}

QString Mac(kelvo::devsim::Fleet &f, std::size_t i) {
    return QString::fromStdString(f.device(i).config.mac);
}

bool SearchAgain(kelvo::ui::TMainForm &w) {
    w.SearchBitBtnClick();
    if (!w.searching)
        return false;
    return WaitForSearch(w);
}

QStringList Announced(const std::function<void()> &run) {
    static QStringList heard;
    heard.clear();
    QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
        if (event->type() == QAccessible::ValueChanged &&
            qobject_cast<QStatusBar *>(event->object()))
            heard << static_cast<QAccessibleValueChangeEvent *>(event)->value().toString();
    });
    ActivateAccessibility(true);
    run();
    ActivateAccessibility(false);
    QAccessible::installUpdateHandler(nullptr);
    return heard;
}

QString AccessibleName(QWidget *w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

void Dialogs::SetUpTestSuite() {
    relay = std::make_unique<Lab>(std::vector<kelvo::devsim::DeviceConfig>{});
    qvudps_init();
}

void Dialogs::SetUp() {
    ASSERT_TRUE(relay->ok()) << relay->error();
    qvudps_set_proxy("127.0.0.1", relay->relay_port(), "Mvx-Config");
    kelvo::ui::SetSetupRoute("127.0.0.1", relay->relay_port(), false);
}

} // namespace kelvo::test
