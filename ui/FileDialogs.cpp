#include "ui/FileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

QString QtFilterList(const QString& pipeList) {
  const QStringList parts = pipeList.split(QLatin1Char('|'));
  QStringList names;
  for (int i = 0; i < parts.size(); i += 2) names << parts[i];
  return names.join(QStringLiteral(";;"));
}

namespace {

std::optional<std::string> Ask(QFileDialog::AcceptMode mode) {
  QFileDialog dialog(QApplication::activeWindow());
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
  return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

std::optional<std::string> TQtFileDialogs::OpenDialog1() { return Ask(QFileDialog::AcceptOpen); }

std::optional<std::string> TQtFileDialogs::SaveDialog1() { return Ask(QFileDialog::AcceptSave); }
