// The main window's transfers: a device's configuration document to and from
// a file over the session, and the device list to a file.
#include "authform.h"
#include "compareform.h"
#include "devicelistformat.h"
#include "hostsecrets.h"
#include "mainform.h"
#include "tabletext.h"
#include "ui_authform.h"
#include "ui_mainform.h"
#include "uihooks.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

namespace kelvo::ui {

namespace {

std::string WithStates(const std::vector<qvudps_module> &list, const QStringList &states,
                       kelvo::host::Format format) {
    if (format == kelvo::host::Format::Json) {
        QJsonArray devices = QJsonDocument::fromJson(QByteArray::fromStdString(
                                                         kelvo::host::FormatDevices(list, format)))
                                 .array();
        for (qsizetype i = 0; i < devices.size() && i < states.size(); ++i) {
            QJsonObject device = devices[i].toObject();
            device["state"] = states[i];
            devices[i] = device;
        }
        return QJsonDocument(devices).toJson(QJsonDocument::Indented).toStdString();
    }
    std::vector<std::string> header = kelvo::host::DeviceHeader();
    // Files are read by scripts: their words stay English, as the command
    // line writes them.
    header.push_back("State");
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < list.size(); ++i) {
        rows.push_back(kelvo::host::DeviceRow(list[i]));
        rows.back().push_back(states.value(static_cast<qsizetype>(i)).toStdString());
    }
    return kelvo::host::FormatCsv(header, rows);
}

} // namespace

void TMainForm::SaveDeviceListClick() {
    const QString path = Hooks().SaveListFileName(this);
    if (path.isEmpty())
        return;
    std::vector<qvudps_module> list;
    QStringList states;
    bool stated = false;
    for (int i = 0; i < deviceModel->deviceCount; ++i) {
        list.push_back(*deviceModel->DeviceTable[static_cast<size_t>(i)].record);
        states << deviceModel->StateText(i, false);
        stated = stated || !states.back().isEmpty();
    }
    const auto format = path.endsWith(".json", Qt::CaseInsensitive) ? kelvo::host::Format::Json
                                                                    : kelvo::host::Format::Csv;
    // The list as the search tool writes it; the state column only once a
    // device is new, changed or offline.
    const std::string text =
        stated ? WithStates(list, states, format) : kelvo::host::FormatDevices(list, format);
    if (!SaveListFile(this, path, text, tr("Saving the device list failed: %1")))
        return;
    SetStatus(
        tr("Device list saved to %1 (%n device(s))", nullptr, deviceModel->deviceCount).arg(path));
}

void TMainForm::DownloadPopupMenuClick() {
    StartTransfer(false);
}

void TMainForm::UploadPopupMenuClick() {
    StartTransfer(true);
}

void TMainForm::StartTransfer(bool upload, bool compare) {
    const int index = ui->StringGrid->FindDeviceByRow(ui->StringGrid->CurrentRow());
    if (index == -1 || !session || RefuseAbsent(index))
        return;
    uploadMode = upload ? 1 : compare ? 2 : 0;
    const qvudps_module &m = *deviceModel->DeviceTable[index].record;
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
        SetStatus(upload ? tr("Uploading configuration...") : tr("Downloading configuration..."));
}

void TMainForm::XmlOpenEvent(mvxapi::TSdkSimpleEventArgs *) {
    if (session->GetSetup() != 0)
        session->Close();
    else
        XmlTimer->start();
}

void TMainForm::XmlTimerTimer() {
    const QChar spin = NextSpinner();
    const int state = session ? session->GetState() : 0;
    if (state == mvxapi::xsSetup)
        SetProgress(tr("Downloading configuration... %1").arg(spin));
    else if (state == mvxapi::xsSendSetup)
        SetProgress(tr("Uploading configuration... %1").arg(spin));
}

void TMainForm::XmlSetupEvent(mvxapi::TIoXmlSetupEventArgs *) {
    XmlTimer->stop();
    if (uploadMode == 2) {
        const std::string document = DeviceSetupText(session->GetHandle());
        session->Close();
        SetStatus(tr("Downloading configuration... done"));
        ShowComparison(this, document, QString::fromStdString(session->host), OpenDialogFileName);
        return;
    }
    if (uploadMode == 0) {
        SetStatus(tr("Downloading configuration... done"));
        const int rc = session->GetSetupToFile(QFile::encodeName(SaveDialogFileName).constData());
        if (rc != 0) {
            // The user must not believe a file was saved when it was not.
            mvxapi::TSdkError error;
            session->GetSdkError(error, false);
            const QString reason = error.text.empty()
                                       ? tr("Cannot write %1").arg(SaveDialogFileName)
                                       : QString::fromStdString(error.text);
            SetStatus(tr("Downloading configuration... %1").arg(reason));
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
        SetStatus(tr("Uploading configuration... Invalid XML file"));
    } else if (rc == -1) {
        mvxapi::TSdkError error;
        session->GetSdkError(error, false);
        SetStatus(tr("Uploading configuration... %1").arg(QString::fromStdString(error.text)));
    }
    session->Close();
}

void TMainForm::XmlSetupSentEvent(mvxapi::TIoXmlSetupEventArgs *) {
    XmlTimer->stop();
    SetStatus(tr("Uploading configuration... done"));
    session->Close();
}

void TMainForm::XmlErrorEvent(mvxapi::TSdkErrorEventArgs *args) {
    XmlTimer->stop();
    const QString text = QString::fromStdString(args->text);
    if (args->operation == mvxapi::xsSetup)
        SetStatus(tr("Downloading configuration... %1").arg(text));
    else if (args->operation == mvxapi::xsSendSetup)
        SetStatus(tr("Uploading configuration... %1").arg(text));
    else
        SetStatus(tr("XML error: %1").arg(text));
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

} // namespace kelvo::ui
