#include "Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// An Exec value: the program's path quoted as the desktop entry format asks.
QString ExecQuoted(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1String("\\\\\\\\"));
    for (const char c : {'"', '`', '$'})
        path.replace(QLatin1Char(c), QStringLiteral("\\\\") + QLatin1Char(c));
    return QLatin1Char('"') + path + QLatin1Char('"');
}

}  // namespace

QString AutostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/lumaro.desktop");
}

bool IsAutostartOn()
{
    return QFileInfo::exists(AutostartEntryPath());
}

bool SetAutostart(bool on, QString* error)
{
    const QString path = AutostartEntryPath();
    if (!on) {
        if (!QFileInfo::exists(path) || QFile::remove(path))
            return true;
        *error = QStringLiteral("不能删除 %1").arg(path);
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Lumaro\nName[zh_CN]=Lumaro 监控录像\n"
                                             "Exec=%1 --home\nIcon=lumaro\nTerminal=false\nX-GNOME-Autostart-enabled=true\n")
                                  .arg(ExecQuoted(QCoreApplication::applicationFilePath()));
        file.write(entry.toUtf8());
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("不能写入 %1：%2").arg(path, file.errorString());
    return false;
}
