// Lumaro started with the desktop session: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/lumaro.desktop (default ~/.config/autostart),
// that runs this program with --home and the working folder in use (the
// current folder) after the user logs in, wherever that folder is.
#pragma once

#include <QString>

QString AutostartEntryPath();
bool IsAutostartOn();
// Writes or removes the entry (for `program`, by default this one); false
// with `error` for the user.
bool SetAutostart(bool on, QString* error, const QString& program = QString());
