#pragma once

#include <QKeySequence>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/WorkJournal.h"
#include "document/RegisterOrigin.h"
#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "link/PortSystem.h"
#include "link/TKkmLink.h"
#include "register/KkmSession.h"
#include "register/WindowView.h"
#include "register/WriteBackup.h"
#include "settingsfile/SettingsBackup.h"
#include "ui/FileDialogs.h"

class QLabel;
class QProgressBar;
class QTabWidget;
class QToolButton;
class QIcon;
class TGroupsPage;
class TTaxesPage;
class TRatesPage;
class TInit_Com;

// The main window: toolbar, the three settings pages, status line and bottom band.
// It owns the settings document for the whole run.
class QProgressDialog;

class TMainForm : public QWidget, public TWindowView, public TRuleView, public TSettingsObserver, public TRegisterWait {
  Q_OBJECT

 public:
  // The serial ports: the system's, or the demo's simulated ones.
  explicit TMainForm(TUserMessages& messages, TPortSystem ports = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  TKkmSettings& Settings() { return KkmSettings; }
  TKkmSession& Session() { return KkmSession; }
  TKkmLink& Link() { return KkmSession.Link(); }
  const TKkmConnection& Connection() const { return KkmSession.Connection(); }
  // The register the document was last read from or written to, as its file names it.
  const TDocumentOrigin& Origin() const { return DocumentOrigin; }
  TInit_Com& PortDialog() { return *Init_Com; }

  // The file dialogs of the load and save commands; the window's own by default.
  void UseFileDialogs(TFileDialogs& dialogs) { FileDialogs = &dialogs; }
  // Where a write keeps the register's previous settings; the user's backup folder by
  // default.
  void UseWriteBackup(TWriteBackup& backup) { Backup = &backup; }
  // The folder of the journal of the work; the user's own by default. Files of more
  // than 90 days there go now.
  void KeepJournalIn(const std::filesystem::path& folder);
  const TJournal& Journal() const { return *WorkJournal; }

  // TWindowView
  TUserMessages& Messages() override { return Recorder; }
  void Ended(TCommandEnd end) override { Recorder.End = end; }
  void SetStatus(const std::string& text) override;
  void SetAll() override;
  void ButtonEnabled() override;
  void ButtonDisabled() override;
  void DisableToolbarAndPages() override;
  void RepaintToolbar() override;
  void ProcessMessages() override;
  void SetProgress(int done, int total) override;
  void ShowGroupCell(int g, TGroupField field) override;
  void ShowComparison(const std::vector<std::string>& lines) override;

  // TRuleView
  void ShowPage(TSettingsPage page) override;
  void FocusTaxRate(int tax) override;
  void MakeRateRowCurrent(TRateList list, int n) override;

  // TSettingsObserver: the pages show what the document reports as changed.
  void SettingsChanged(TSection section, int index) override;

  // TRegisterWait: a box with the register waited for and "Отмена", over every port
  // the search goes over.
  void Begin(const std::string& text) override;
  std::vector<std::string> Devices() override;
  bool Cancelled() override;
  void End() override;

 public slots:
  void ToolButton1Click();
  void ToolButton2Click();
  void ToolButton3Click();
  void ToolButton4Click();
  void ToolButton5Click();
  void ToolButton6Click();
  void ToolButton7Click();
  void ToolButton11Click();
  void ToolButton12Click();
  void ToolButton13Click();
  // The sheet on a printer chosen in the system's print dialog, where Qt can print.
  void PrintSheet();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Every way of switching pages runs the rate grids' leave rule first, and a rule
  // that keeps the user on a bad rate keeps the page.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  bool FormCloseQuery();
  void FormDestroy();
  void BuildToolBar();
  void BuildPages();
  void BuildStatusLine();
  void BuildBottomBand();
  void LayOut();
  void RestoreSize();
  void ShowSession();
  void PlaceConnection();
  QToolButton* AddToolButton(const char* name, int x, int image, const char* hint, void (TMainForm::*command)(),
                             QKeySequence key);
  void AddDivider(const char* name, int x);
  bool AskToClose();
  template <typename Command>
  void RunTransfer(const char* name, Command command);
  // The command's line in the journal, with the register connected unless the command
  // is one on a file; that the journal cannot be written is told once, after the
  // command's own status.
  void AddToJournal(const char* command, bool done, const std::string& file = {}, bool withRegister = true);
  // The sheet's menu, where the program can print: save and print.
  void AddPrinting();
  // "Лист установок ККМ 37 2026-12-11.pdf", the register left out where the document
  // never met one or its number is not one.
  std::string ProposedSheetName() const;
  // The diagnostics file's text: the program, the system, the ports, the kept settings,
  // the journal's last days and the traces in memory.
  std::string DiagnosticsText() const;

  TUserMessages& UserMessages;
  TJournalRecorder Recorder{UserMessages};
  std::unique_ptr<TJournal> WorkJournal;
  TKkmSettings KkmSettings;
  TDocumentOrigin DocumentOrigin;
  TKkmSession KkmSession;  // the one link of the run and the register on it
  TPortSystem Ports;
  QProgressDialog* WaitBox = nullptr;  // while a broken write waits for its register
  TQtFileDialogs QtFileDialogs;
  TFileDialogs* FileDialogs = &QtFileDialogs;
  TBackupFolder UserBackupFolder{DefaultBackupFolder()};
  TWriteBackupIn<TBackupFolder> UserBackups{UserBackupFolder};
  TWriteBackup* Backup = &UserBackups;
  std::vector<QIcon> ImageList1;
  QWidget* ToolBar1 = nullptr;
  std::array<QToolButton*, 10> ToolButtons{};
  QTabWidget* PageControl1 = nullptr;
  TGroupsPage* GroupsPage = nullptr;
  TTaxesPage* TaxesPage = nullptr;
  TRatesPage* RatesPage = nullptr;
  TInit_Com* Init_Com = nullptr;
  QLabel* PanelStatus = nullptr;
  QLabel* PanelConnection = nullptr;  // the right part of the status line: the register connected
  QWidget* Panel1 = nullptr;
  QProgressBar* TransferProgress = nullptr;
  std::array<QLabel*, 2> BandCaption{};  // the bottom band's caption, black and white
  bool Placed = false;
  bool Transferring = false;
  bool QuitAfterTransfer = false;
  bool ExitConfirmed = false;
};
