#include "Profile.h"

#include <QSettings>

namespace {
QSettings Profile()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QString(), QStringLiteral("Lumaro"));
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
