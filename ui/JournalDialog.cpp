#include "ui/JournalDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <system_error>
#include <utility>

#include "document/LocalTime.h"
#include "settingsfile/Diagnostics.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/Journal.h"
#include "settingsfile/SettingsBackup.h"

TJournalDialog::TJournalDialog(const std::vector<std::string>& lines, std::function<std::string()> diagnostics,
                               std::filesystem::path dataFolder, TFileDialogs& files, TUserMessages& messages,
                               QWidget* parent)
    : QDialog(parent),
      Diagnostics(std::move(diagnostics)),
      DataFolder(std::move(dataFolder)),
      Files(files),
      Messages(messages) {
  setObjectName(QStringLiteral("JournalDialog"));
  setWindowTitle(QStringLiteral("Журнал работы"));
  auto* text = new QPlainTextEdit(this);
  text->setObjectName(QStringLiteral("JournalText"));
  text->setReadOnly(true);
  // A line is one command: whole, scrolled to rather than broken.
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  QStringList shown;
  for (const std::string& line : lines) shown << QString::fromStdString(line);
  if (shown.isEmpty()) shown << QStringLiteral("За %1 дней записей нет.").arg(JournalShownDays);
  text->setPlainText(shown.join(QLatin1Char('\n')));
  Saved = new QLabel(this);
  Saved->setObjectName(QStringLiteral("DiagnosticsSaved"));
  Saved->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Saved->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  auto* save = buttons->addButton(QStringLiteral("Сохранить диагностику"), QDialogButtonBox::ActionRole);
  save->setObjectName(QStringLiteral("SaveDiagnostics"));
  auto* open = buttons->addButton(QStringLiteral("Открыть папку"), QDialogButtonBox::ActionRole);
  open->setObjectName(QStringLiteral("OpenDataFolder"));
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
  connect(save, &QPushButton::clicked, this, &TJournalDialog::SaveDiagnostics);
  connect(open, &QPushButton::clicked, this, &TJournalDialog::OpenFolder);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(Saved);
  layout->addWidget(buttons);
  resize(760, 400);
}

// Written whole or not at all; where it went is shown in the dialog, a failure in a box.
void TJournalDialog::SaveDiagnostics() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString folder = documents.isEmpty() ? QDir::homePath() : documents;
  const std::string proposed =
      QDir(folder).filePath(QString::fromStdString(DiagnosticsFileName(LocalTimeNow()))).toStdString();
  const std::optional<std::string> file = Files.DiagnosticsDialog(proposed);
  if (!file) return;
  if (!ReplaceFileBytes(PathFromUtf8(*file), Diagnostics())) {
    Messages.Show(TMessageKind::Error, "Не удалось сохранить диагностику в файл " + *file);
    return;
  }
  Saved->setText(
      QStringLiteral("Диагностика сохранена в файл %1").arg(QDir::toNativeSeparators(QString::fromStdString(*file))));
}

// The folder is made first, so that even a first run has one to show.
void TJournalDialog::OpenFolder() {
  std::error_code error;
  std::filesystem::create_directories(DataFolder, error);
  const QString folder = QString::fromStdString(Utf8FromPath(DataFolder));
  if (DataFolder.empty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
    Messages.Show(TMessageKind::Error, "Не удалось открыть папку " + QDir::toNativeSeparators(folder).toStdString());
}
