#pragma once

#include <QSettings>
#include <QTemporaryDir>

// The program's settings kept in a folder of the test's own while it lives, on every
// system (under Wine too, where they would go to the registry).
class TIsolatedSettings {
 public:
  TIsolatedSettings() {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Folder.path());
  }

 private:
  QTemporaryDir Folder;
};
