#include "usersettings.h"

#include "hostsecrets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kelvo::terminal {

namespace {

QSettings Open() {
    return QSettings(QStringLiteral("Marvane"), QStringLiteral("Kelvo"));
}

} // namespace

QSettings UserSettings() {
    // A settings file that cannot be made private is still used: losing the
    // macros would not protect them, and the reason goes to the log.
    const QString file = Open().fileName();
    const QString folder = QFileInfo(file).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    std::string error;
    if (!kelvo::host::MakePrivateFolder(QFile::encodeName(folder).toStdString(), &error) ||
        !kelvo::host::MakePrivateFile(QFile::encodeName(file).toStdString(), &error))
        qWarning("%s", error.c_str());
    return Open();
}

} // namespace kelvo::terminal
