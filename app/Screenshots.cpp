// Writes pictures of the main window, one per page, into the folder given as the
// first argument. Meant for the offscreen platform.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <functional>

#include "app/DemoRegisters.h"
#include "app/MainUnit.h"
#include "settingsfile/SettingsFile.h"
#include "ui/ApplicationTitle.h"
#include "ui/InitComm.h"
#include "ui/QtTranslation.h"
#include "ui/QtUserMessages.h"
#include "ui/SheetPdf.h"

namespace {

// Nobody answers message boxes here.
class TSilentMessages : public TUserMessages {
 public:
  TAnswer Show(TMessageKind, const std::string&) override { return TAnswer::No; }
};

bool Save(QWidget& widget, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

void Click(QWidget& form, const char* button) { form.findChild<QToolButton*>(QString::fromLatin1(button))->click(); }

// The demo's register read, a few settings changed, then the command of `button`; the
// modal window it brings up once it has read the register is saved and closed.
bool SaveModalOfCommand(const QDir& folder, const char* button, const QString& name,
                        const std::function<void(QDialog&)>& close,
                        const std::function<void(TDemoRegisters&, TMainForm&)>& before = {}) {
  TDemoRegisters demo;
  TQtUserMessages messages(QString::fromUtf8(ApplicationTitle));
  TMainForm form(messages, demo.Ports());
  form.KeepJournalIn(DefaultJournalFolder(true));
  form.show();
  form.PortDialog().Button1Click();
  Click(form, "ToolButton4");
  TKkmSettings& settings = form.Settings();
  settings.Tax(1).Rate = "18,00";
  settings.Tax(3) = {true, "10,00", "НСП", "И"};
  settings.Discount(3) = "05,00";
  settings.Group(12) = {"1", "", ""};
  settings.Group(40) = {"2", "", "1"};
  if (before) before(demo, form);
  bool ok = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr) return;
    watch.stop();
    ok = Save(*modal, folder, name);
    close(*modal);
  });
  watch.start(100);
  Click(form, button);
  return ok;
}

// The write's question as the user sees it, with the changes it lists, answered no.
bool SaveWriteQuestion(const QDir& folder) {
  return SaveModalOfCommand(folder, "ToolButton5", QStringLiteral("write-question.png"),
                            [](QDialog& box) { qobject_cast<QMessageBox*>(&box)->button(QMessageBox::No)->click(); });
}

// The comparison's dialog for the same document.
bool SaveComparison(const QDir& folder) {
  return SaveModalOfCommand(folder, "ToolButton7", QStringLiteral("comparison.png"),
                            [](QDialog& dialog) { dialog.accept(); });
}

// A read from a register that has stopped answering: the lost link's box with its reason.
bool SaveLinkFailure(const QDir& folder) {
  return SaveModalOfCommand(
      folder, "ToolButton4", QStringLiteral("link-failure.png"), [](QDialog& box) { box.accept(); },
      [](TDemoRegisters& demo, TMainForm&) { demo.Com1.SetSilent(true); });
}

// The comparison with a file that holds the document as it was before the changes,
// and a rate and a group of its own.
bool SaveFileComparison(const QDir& folder) {
  QTemporaryDir files;
  TNamedFileDialogs older;  // the customer's older settings
  older.Name = files.filePath(QStringLiteral("магазин-2025.dat")).toStdString();
  return SaveModalOfCommand(
      folder, "ToolButton12", QStringLiteral("file-comparison.png"), [](QDialog& dialog) { dialog.accept(); },
      [&older](TDemoRegisters&, TMainForm& form) {
        TKkmSettings file = form.Settings();
        file.Tax(1).Rate = "20,00";
        file.Discount(3) = "10,00";
        file.Group(40) = {"1", "", ""};
        TSilentMessages quiet;
        SaveSettingsFile(*older.Name, file, quiet);
        form.UseFileDialogs(older);
      });
}

// The first page of the customer's sheet of the document read from the demo's register.
bool SaveSheetPage(const QDir& folder) {
  TDemoRegisters demo;
  TSilentMessages messages;
  TMainForm form(messages, demo.Ports());
  form.KeepJournalIn(DefaultJournalFolder(true));
  form.PortDialog().Button1Click();
  Click(form, "ToolButton4");
  form.Settings().Tax(3) = {true, "10,00", "НСП", "И"};
  form.Settings().Discount(3) = "05,00";
  form.Settings().Group(12) = {"1", "", ""};
  form.Settings().Group(40) = {"2", "", "1"};
  const QString path = folder.filePath(QStringLiteral("sheet.png"));
  if (!SheetFirstPage(SettingsSheet(form.Settings(), form.Origin()), 100).save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// The journal's dialog after the read: the demo's own journal, apart from real work.
bool SaveJournal(const QDir& folder) {
  return SaveModalOfCommand(folder, "ToolButton11", QStringLiteral("journal.png"),
                            [](QDialog& dialog) { dialog.reject(); });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
  InstallQtTranslation(application);
  // Every picture from the window as a first start draws it, whatever a run kept.
  QTemporaryDir settings;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
  if (!QDir().mkpath(folder.path())) return 1;

  TSilentMessages messages;
  TDemoRegisters demo;  // the pictures show the demo's ports, whatever the machine has
  TMainForm form(messages, demo.Ports());
  form.KeepJournalIn(DefaultJournalFolder(true));
  form.show();
  auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  const QStringList names = {QStringLiteral("main-groups.png"), QStringLiteral("main-taxes.png"),
                             QStringLiteral("main-rates.png")};
  bool ok = true;
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    QApplication::processEvents();
    ok = Save(form, folder, names.value(page, QStringLiteral("main-page%1.png").arg(page))) && ok;
  }
  // The tax page once more with its rows shown, set through the document as a file load would.
  for (int t = 1; t <= TaxCount; ++t) form.Settings().Tax(t).Enabled = true;
  form.Settings().Tax(1).Name = "НДС";
  form.Settings().Changed(TSection::Taxes);
  pages->setCurrentIndex(1);
  QApplication::processEvents();
  ok = Save(form, folder, QStringLiteral("main-taxes-enabled.png")) && ok;
  form.showMaximized();
  pages->setCurrentIndex(0);
  QApplication::processEvents();
  ok = Save(form, folder, QStringLiteral("main-maximised.png")) && ok;
  form.showNormal();

  TInit_Com& dialog = form.PortDialog();
  dialog.show();
  QApplication::processEvents();
  ok = Save(dialog, folder, QStringLiteral("port-dialog.png")) && ok;
  dialog.hide();
  // Connected: the register beside the status text.
  dialog.Button1Click();
  form.SetStatus("Установлен интерфейс с ККМ");
  QApplication::processEvents();
  ok = Save(form, folder, QStringLiteral("main-connected.png")) && ok;
  ok = SaveWriteQuestion(folder) && ok;
  ok = SaveComparison(folder) && ok;
  ok = SaveLinkFailure(folder) && ok;
  ok = SaveJournal(folder) && ok;
  ok = SaveFileComparison(folder) && ok;
  ok = SaveSheetPage(folder) && ok;
  return ok ? 0 : 1;
}
