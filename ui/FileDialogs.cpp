#include "ui/FileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#ifdef ORBI7_PRINTING
#include <QPrintDialog>
#include <QPrinter>
#endif
#include <filesystem>
#include <system_error>

#include "settingsfile/SettingsBackup.h"
#include "ui/ProgramSettings.h"

QString QtFilterList(const QString& pipeList) {
  const QStringList parts = pipeList.split(QLatin1Char('|'));
  QStringList names;
  for (int i = 0; i < parts.size(); i += 2) names << parts[i];
  return names.join(QStringLiteral(";;"));
}

namespace {

// The folder of the last file chosen, while it is there; else the user's documents or
// home, never the folder the program was started in.
QString StartFolder() {
  for (const QString& folder : {ProgramSettings().value(QString::fromLatin1(LastFolderKey)).toString(),
                                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)}) {
    if (!folder.isEmpty() && QDir(folder).exists()) return folder;
  }
  return QDir::homePath();
}

void RememberFolderOf(const QString& file) {
  ProgramSettings().setValue(QString::fromLatin1(LastFolderKey), QFileInfo(file).absolutePath());
}

#ifndef _WIN32
// Qt's side panel keeps each place's URL in this role of its model, and names the place
// after its folder until told otherwise; it names it anew whenever the folder changes.
constexpr int SidebarUrlRole = Qt::UserRole + 1;

void NamePlace(QAbstractItemModel& places, const QString& folder, const QString& name) {
  for (int row = 0; row < places.rowCount(); ++row) {
    const QModelIndex place = places.index(row, 0);
    const QString path = QDir::cleanPath(place.data(SidebarUrlRole).toUrl().toLocalFile());
    if (path == folder && place.data().toString() != name) places.setData(place, name);
  }
}

// The write's backups among the places of the side panel, under a name the user knows.
void OfferBackups(QFileDialog& dialog) {
  const std::filesystem::path backups = DefaultBackupFolder();
  if (backups.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(backups, error);  // a place that is not there is greyed out
  const QString folder = QDir::cleanPath(QString::fromStdString(Utf8FromPath(backups)));
  dialog.setSidebarUrls(dialog.sidebarUrls() << QUrl::fromLocalFile(folder));
  auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
  if (sidebar == nullptr || sidebar->model() == nullptr) return;
  QAbstractItemModel* places = sidebar->model();
  const QString name = QString::fromUtf8(BackupsPlaceName);
  NamePlace(*places, folder, name);
  QObject::connect(places, &QAbstractItemModel::dataChanged, sidebar,
                   [places, folder, name] { NamePlace(*places, folder, name); });
}
#endif

std::optional<std::string> Ask(QFileDialog::AcceptMode mode) {
  QFileDialog dialog(QApplication::activeWindow());
#ifndef _WIN32
  // Qt's own dialog, in Russian with Qt's texts and with the backups among its places;
  // Windows has its own, in the system's language.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  OfferBackups(dialog);
#endif
  dialog.setDirectory(StartFolder());
  dialog.setAcceptMode(mode);
  dialog.setNameFilters(QtFilterList(QString::fromUtf8(SettingsFileFilter)).split(QStringLiteral(";;")));
  dialog.setSizeGripEnabled(true);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (mode == QFileDialog::AcceptOpen) {
    // Only an existing file can be loaded: a mistyped name is caught here.
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromLatin1(SettingsFileExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString file = dialog.selectedFiles().constFirst();
  RememberFolderOf(file);
  return file.toStdString();
}

}  // namespace

std::optional<std::string> TQtFileDialogs::OpenDialog1() { return Ask(QFileDialog::AcceptOpen); }

std::optional<std::string> TQtFileDialogs::SaveDialog1() { return Ask(QFileDialog::AcceptSave); }

namespace {

// A file of another kind than the settings anywhere, `proposed` offered; the settings
// files' last folder stays as it was.
std::optional<std::string> AskToSaveAs(const std::string& proposed, const QString& filter, const QString& suffix) {
  QFileDialog dialog(QApplication::activeWindow());
#ifndef _WIN32
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
#endif
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({filter, QStringLiteral("Все файлы (*)")});
  dialog.setDefaultSuffix(suffix);
  const QFileInfo offered(QString::fromStdString(proposed));
  dialog.setDirectory(offered.absolutePath());
  dialog.selectFile(offered.fileName());
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

std::optional<std::string> TQtFileDialogs::DiagnosticsDialog(const std::string& proposed) {
  return AskToSaveAs(proposed, QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("txt"));
}

std::optional<std::string> TQtFileDialogs::SheetDialog(const std::string& proposed) {
  const QString offered = QDir(StartFolder()).filePath(QString::fromStdString(proposed));
  return AskToSaveAs(offered.toStdString(), QStringLiteral("Файлы PDF (*.pdf)"), QStringLiteral("pdf"));
}

#ifdef ORBI7_PRINTING
bool TQtFileDialogs::PrintDialog(QPrinter& printer) {
  QPrintDialog dialog(&printer, QApplication::activeWindow());
  dialog.setWindowTitle(QStringLiteral("Печать листа установок"));
  return dialog.exec() == QDialog::Accepted;
}
#endif

#ifdef ORBI7_PRINTING
bool TNamedFileDialogs::PrintDialog(QPrinter& printer) {
  if (!Chosen()) return false;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(*Name));
  return true;
}
#endif
