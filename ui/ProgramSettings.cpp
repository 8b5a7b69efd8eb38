#include "ui/ProgramSettings.h"

// In the default format, which is the system's own unless a test has set another.
QSettings ProgramSettings() {
  return QSettings(QSettings::defaultFormat(), QSettings::UserScope, QStringLiteral("orbi7prog"),
                   QStringLiteral("orbi7prog"));
}
