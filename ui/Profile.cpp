#include "Profile.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
// Lumaro.ini right in the user's config folder: Qt would put a settings file
// without an organisation under "Unknown Organization".
QSettings Profile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QSettings(folder + QStringLiteral("/Lumaro.ini"), QSettings::IniFormat);
}
}  // namespace

int GetProfileInt(const QString& section, const QString& entry, int defaultValue)
{
    bool ok = false;
    const int value = Profile().value(section + "/" + entry, defaultValue).toInt(&ok);
    return ok ? value : defaultValue;
}

void WriteProfileInt(const QString& section, const QString& entry, int value)
{
    QSettings settings = Profile();
    settings.setValue(section + "/" + entry, value);
    settings.sync();
}
