// Lumaro started with the desktop session: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/lumaro.desktop (default ~/.config/autostart),
// that runs this program with --home after the user logs in.
#pragma once

#include <QString>

QString AutostartEntryPath();
bool IsAutostartOn();
// Writes or removes the entry; false with `error` for the user.
bool SetAutostart(bool on, QString* error);
