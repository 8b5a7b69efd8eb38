#pragma once

class QCoreApplication;

// Qt's own texts in Russian: file dialogs, standard buttons, the edit boxes' context
// menus. On Windows from the translation built into the program, elsewhere from the
// system's Qt translations (Debian's qt6-translations-l10n), so that they match the Qt
// the program runs on. False when there is none; the texts then stay English.
bool InstallQtTranslation(QCoreApplication& application);
