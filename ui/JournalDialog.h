#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "document/UserMessages.h"
#include "ui/FileDialogs.h"

class QLabel;

// The journal of the work of the last days, newest first, with what support asks for:
// "Сохранить диагностику" writes the diagnostics file where the user chooses (the
// documents folder by default), "Открыть папку" shows the program's data folder in the
// system's file manager.
class TJournalDialog : public QDialog {
  Q_OBJECT

 public:
  // `diagnostics` gives the file's text at the moment it is saved.
  TJournalDialog(const std::vector<std::string>& lines, std::function<std::string()> diagnostics,
                 std::filesystem::path dataFolder, TFileDialogs& files, TUserMessages& messages,
                 QWidget* parent = nullptr);

 private:
  void SaveDiagnostics();
  void OpenFolder();

  std::function<std::string()> Diagnostics;
  std::filesystem::path DataFolder;
  TFileDialogs& Files;
  TUserMessages& Messages;
  QLabel* Saved = nullptr;
};
