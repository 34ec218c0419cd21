#include "Profile.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace {
// Lumaro.ini right in the user's config folder: Qt would put a settings file
// without an organisation under "Unknown Organization".
QString ProfilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folder + QStringLiteral("/Lumaro.ini");
}

QSettings Profile()
{
    return QSettings(ProfilePath(), QSettings::IniFormat);
}

// The settings file is its owner's alone, like the database.
void KeepProfilePrivate()
{
    QFile file(ProfilePath());
    if (file.exists() && (file.permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                  QFile::WriteUser)) != 0)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}
}  // namespace

int GetProfileInt(const QString& section, const QString& entry, int defaultValue)
{
    KeepProfilePrivate();
    bool ok = false;
    const int value = Profile().value(section + "/" + entry, defaultValue).toInt(&ok);
    return ok ? value : defaultValue;
}

void WriteProfileInt(const QString& section, const QString& entry, int value)
{
    QSettings settings = Profile();
    settings.setValue(section + "/" + entry, value);
    settings.sync();
    KeepProfilePrivate();
}
