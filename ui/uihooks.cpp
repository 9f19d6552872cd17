#include "uihooks.h"

#include "hostping.h"
#include "qvfile.h"
#include "usersettings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace kelvo::ui {

namespace {

const char *const kXmlFilter = QT_TRANSLATE_NOOP("kelvo::ui", "XML Files (*.xml);;All Files (*.*)");

UiHooks defaultHooks;
UiHooks *current = &defaultHooks;

// The chooser adds "xml" when the user typed a name without extension.
QString WithDefaultExtension(const QString &path) {
    if (path.isEmpty())
        return path;
    const QString base = path.section('/', -1);
    return base.contains('.') ? path : path + ".xml";
}

} // namespace

UiHooks::~UiHooks() = default;

bool UiHooks::Question(QWidget *owner, const QString &text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::translate("kelvo::ui", "Confirmation"),
                    text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void UiHooks::Error(QWidget *owner, const QString &text) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("kelvo::ui", "Error"), text,
                    QMessageBox::Ok, owner);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

QString UiHooks::SaveFileName(QWidget *owner, const QString &suggested) {
    QFileDialog dialog(owner, QString(), FileDialogStartPath(suggested),
                       QCoreApplication::translate("kelvo::ui", kXmlFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("xml");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    RememberFileDialogFolder(dialog.selectedFiles().constFirst());
    return WithDefaultExtension(dialog.selectedFiles().constFirst());
}

QString UiHooks::SaveListFileName(QWidget *owner) {
    QFileDialog dialog(
        owner, QCoreApplication::translate("kelvo::ui", "Save device list"), QString(),
        QCoreApplication::translate("kelvo::ui", "CSV files (*.csv);;JSON files (*.json)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    if (path.section('/', -1).contains('.'))
        return path;
    return path + (dialog.selectedNameFilter().contains("json") ? ".json" : ".csv");
}

QString UiHooks::OpenFileName(QWidget *owner, const QString &suggested) {
    QFileDialog dialog(owner, QString(), FileDialogStartPath(suggested),
                       QCoreApplication::translate("kelvo::ui", kXmlFilter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("xml");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    RememberFileDialogFolder(dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}

QString FileDialogStartPath(const QString &suggested) {
    const QString folder = kelvo::terminal::UserSettings().value("LastFolder").toString();
    return folder.isEmpty() || !QFileInfo(folder).isDir() ? suggested
                                                          : QDir(folder).filePath(suggested);
}

void RememberFileDialogFolder(const QString &chosenFile) {
    kelvo::terminal::UserSettings().setValue("LastFolder", QFileInfo(chosenFile).absolutePath());
}

int UiHooks::ExecDialog(QDialog &dialog) {
    return dialog.exec();
}

bool UiHooks::OpenUrl(const QString &url) {
    return QDesktopServices::openUrl(QUrl(url));
}

int UiHooks::Ping(const std::string &ipText) {
    return kelvo::host::PingAddress(ipText);
}

void FixDialogSize(QDialog *dialog, const QSize &designed) {
    dialog->setWindowFlags((dialog->windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                           ~Qt::WindowContextHelpButtonHint);
    dialog->setFixedSize(designed.expandedTo(dialog->sizeHint()));
}

UiHooks &Hooks() {
    return *current;
}

void SetHooks(UiHooks *hooks) {
    current = hooks ? hooks : &defaultHooks;
}

bool SaveListFile(QWidget *owner, const QString &path, const std::string &text,
                  const QString &failure) {
    const QByteArray name = QFile::encodeName(path);
    const qv::write_result r =
        qv::write_file(name.constData(), text.data(), text.size(), qv::write_mode::replace, 0666);
    if (r.ok())
        return true;
    Hooks().Error(owner,
                  failure.arg(QString::fromLocal8Bit(qv::write_error_text(name.toStdString(), r))));
    return false;
}

} // namespace kelvo::ui
