#pragma once

#include <QSettings>

// What the program keeps between runs besides the settings files: the last port, the
// window's size and the folder of the last settings file. The system's own place for
// a program's settings (the registry on Windows, ~/.config elsewhere).
QSettings ProgramSettings();
