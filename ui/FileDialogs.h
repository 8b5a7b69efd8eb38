#pragma once

#include <QString>
#include <optional>
#include <string>

#ifdef ORBI7_PRINTING
class QPrinter;
#endif

// The file dialogs of the load and save commands. The window asks through this
// interface so that tests can choose a file without a person.
class TFileDialogs {
 public:
  virtual ~TFileDialogs() = default;
  // The chosen file name (UTF-8), nothing when the user cancels.
  virtual std::optional<std::string> OpenDialog1() = 0;
  virtual std::optional<std::string> SaveDialog1() = 0;
  // Where the diagnostics file goes, `proposed` offered (UTF-8).
  virtual std::optional<std::string> DiagnosticsDialog(const std::string& proposed) = 0;
  // Where the sheet of the settings goes as a PDF, the file name `proposed` offered in
  // the folder of the last settings file (UTF-8).
  virtual std::optional<std::string> SheetDialog(const std::string& proposed) = 0;
#ifdef ORBI7_PRINTING
  // The system's print dialog for the sheet; false when the user cancels.
  virtual bool PrintDialog(QPrinter& printer) = 0;
#endif
};

// The filter list of both dialogs, as one string of name|pattern pairs.
inline constexpr const char* SettingsFileFilter = "Файлы отгрузок (*.dat)|*.dat|Все файлы (*.*)|*.*";
inline constexpr const char* SettingsFileExtension = "dat";

// "Name (*.x)|*.x|..." as Qt's filter list "Name (*.x);;...": the names already
// carry their patterns.
QString QtFilterList(const QString& pipeList);

// The side panel's name for the folder of the write's backups (Linux).
inline constexpr const char* BackupsPlaceName = "Резервные копии ККМ";

// Both start in the folder of the last file chosen in either, which is kept between
// runs; on Linux their side panel also offers the backups folder.
class TQtFileDialogs : public TFileDialogs {
 public:
  std::optional<std::string> OpenDialog1() override;
  std::optional<std::string> SaveDialog1() override;
  std::optional<std::string> DiagnosticsDialog(const std::string& proposed) override;
  std::optional<std::string> SheetDialog(const std::string& proposed) override;
#ifdef ORBI7_PRINTING
  bool PrintDialog(QPrinter& printer) override;
#endif
};

// Every dialog gives the one file named, and cancels while there is none; the printer
// prints into it as a PDF. For the screenshots and the tests, which choose files
// without a person.
class TNamedFileDialogs : public TFileDialogs {
 public:
  std::optional<std::string> OpenDialog1() override { return Chosen(); }
  std::optional<std::string> SaveDialog1() override { return Chosen(); }
  std::optional<std::string> DiagnosticsDialog(const std::string& proposed) override { return Chosen(proposed); }
  std::optional<std::string> SheetDialog(const std::string& proposed) override { return Chosen(proposed); }
#ifdef ORBI7_PRINTING
  bool PrintDialog(QPrinter& printer) override;
#endif

  std::optional<std::string> Name;
  std::string Proposed;  // what the last dialog offered
  int Shown = 0;         // dialogs shown

 private:
  std::optional<std::string> Chosen(const std::string& proposed = {}) {
    ++Shown;
    Proposed = proposed;
    return Name;
  }
};
