#pragma once

#include <QSettings>

#include "settingsfile/ProgramSettingKeys.h"

// What the program keeps between runs besides the settings files, under the names of
// settingsfile/ProgramSettingKeys.h, in the system's own place for a program's
// settings (the registry on Windows, ~/.config elsewhere).
QSettings ProgramSettings();
