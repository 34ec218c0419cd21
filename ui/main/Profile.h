// The per-user profile of the program (INI file under the user's config
// folder, application name Lumaro): integer entries by section and name.
#pragma once

#include <QString>

int GetProfileInt(const QString& section, const QString& entry, int defaultValue);
void WriteProfileInt(const QString& section, const QString& entry, int value);
