#include "Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// An Exec argument quoted as the desktop entry format asks: in double
// quotes with '"', '`', '$' and '\\' escaped (each backslash written twice
// more for the value's own escapes), and '%' doubled (no field code).
QString ExecQuoted(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1String("\\\\\\\\"));
    for (const char c : {'"', '`', '$'})
        path.replace(QLatin1Char(c), QStringLiteral("\\\\") + QLatin1Char(c));
    path.replace(QLatin1Char('%'), QLatin1String("%%"));
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

bool SetAutostart(bool on, QString* error, const QString& program)
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
                                             "Exec=%1 --home %2\nIcon=lumaro\nTerminal=false\n"
                                             "X-GNOME-Autostart-enabled=true\n")
                                  .arg(ExecQuoted(program.isEmpty() ? QCoreApplication::applicationFilePath() : program),
                                       ExecQuoted(QDir::currentPath()));
        file.write(entry.toUtf8());
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("不能写入 %1：%2").arg(path, file.errorString());
    return false;
}
