#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <iterator>

#include "app/MainUnit.h"
#include "document/Cp1251.h"
#include "document/LocalTime.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/SettingsFile.h"
#include "support/Controls.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingMessages.h"
#include "ui/FileDialogs.h"
#include "ui/StringGrid.h"

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace

class FileCommandsTest : public QObject {
  Q_OBJECT

 private:
  TIsolatedSettings Settings;  // where the dialogs start, of this test's own

  template <typename T>
  static T* Child(QWidget& form, const char* name) {
    return Control<T>(form, name);
  }

  static void Click(TMainForm& form, const char* button) { Child<QToolButton>(form, button)->click(); }

 private slots:
  void FilterListBecomesQtsForm() {
    QCOMPARE(QtFilterList(QString::fromUtf8(SettingsFileFilter)),
             QStringLiteral("Файлы отгрузок (*.dat);;Все файлы (*.*)"));
  }

  void LoadShowsTheFileOnThePages() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("shop.dat")).toStdString();
    WriteBytes(path, Utf8ToCp1251("[Налоги]\r\nНалог2=1\r\nСтавка2=12,50\r\nНаимен2=НДС\r\nТип2=Н\r\n"
                                  "[Скидки/Надбавки]\r\nСкидка3=05,00\r\n[ТовГр]\r\nТовГрНал7=2\r\nТовГрСкид7=3\r\n"));
    TRecordingMessages messages;
    TNamedFileDialogs dialogs;
    dialogs.Name = path;
    TMainForm form(messages);
    form.UseFileDialogs(dialogs);
    form.show();
    Click(form, "ToolButton1");

    QCOMPARE(dialogs.Shown, 1);
    QVERIFY(messages.Shown.empty());
    auto* box = Child<QCheckBox>(form, "CheckBox42");
    QVERIFY(box->isChecked());
    QCOMPARE(box->text(), QStringLiteral("Налог 2"));
    QVERIFY(!Child<QLineEdit>(form, "Edit30")->isHidden());
    QCOMPARE(Child<QLineEdit>(form, "Edit30")->text(), QStringLiteral("12,50"));
    QCOMPARE(Child<QLineEdit>(form, "Edit31")->text(), QStringLiteral("НДС"));
    QVERIFY(!Child<QCheckBox>(form, "CheckBox41")->isChecked());
    QVERIFY(Child<QLineEdit>(form, "Edit28")->isHidden());
    QCOMPARE(Child<TStringGrid>(form, "StringGrid2")->Cell(1, 3), QStringLiteral("05,00"));
    QCOMPARE(Child<TStringGrid>(form, "StringGrid1")->Cell(1, 7), QStringLiteral("2"));
    QCOMPARE(Child<TStringGrid>(form, "StringGrid1")->Cell(2, 7), QStringLiteral("3"));
    QCOMPARE(form.Settings().Tax(2).Kind, std::string("Н"));
  }

  void SaveWritesTheDocumentAndLoadBringsItBack() {
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("copy.dat")).toStdString();
    TRecordingMessages messages;
    TNamedFileDialogs dialogs;
    dialogs.Name = path;
    TMainForm form(messages);
    form.UseFileDialogs(dialogs);
    form.KeepJournalIn(folder.filePath(QStringLiteral("journal")).toStdString());
    form.Settings().Tax(1) = {true, "07,00", "Налог с продаж", "Н"};
    form.Settings().Discount(8) = "10,00";
    form.Settings().Group(101) = {"1", "", "8"};
    const TKkmSettings saved = form.Settings();
    Click(form, "ToolButton2");
    QVERIFY(messages.Shown.empty());
    const std::string bytes = ReadBytes(path);
    QVERIFY(bytes.starts_with(Utf8ToCp1251("[Налоги]\r\nНалог1=1\r\nНалог2=0\r\n")));
    QVERIFY(bytes.find(Utf8ToCp1251("ТовГрНадб101=8\r\n")) != std::string::npos);

    ResetRates(form.Settings());
    ClearGroups(form.Settings());
    Click(form, "ToolButton1");
    QCOMPARE(form.Settings(), saved);
    const std::vector<std::string> journal = form.Journal().LastLines(1);
    QCOMPARE(journal.size(), size_t{2});
    QVERIFY2(journal[0].ends_with(" · загрузка файла · выполнено · файл " + path), journal[0].c_str());
    QVERIFY2(journal[1].ends_with(" · сохранение файла · выполнено · файл " + path), journal[1].c_str());
  }

  // By their keys: the document compared with a file of register 37 (the file's name in
  // the caption, the document's fields first), then, that file loaded, its sheet saved
  // under a name with the register and printed.
  void AFileIsComparedAndTheSheetSavedAndPrinted() {
    QTemporaryDir folder;
    const std::string file = folder.filePath(QStringLiteral("37.dat")).toStdString();
    TRecordingMessages messages;
    TKkmSettings held;
    held.Tax(1) = {true, "20,00", "НДС", "И"};
    QVERIFY(SaveSettingsFile(file, held, messages, TRegisterOrigin{"37", "1.0.4", "2026-12-10 14:03", "COM7"}));
    TNamedFileDialogs dialogs;
    TMainForm form(messages);
    form.UseFileDialogs(dialogs);
    form.KeepJournalIn(folder.filePath(QStringLiteral("journal")).toStdString());
    form.show();
    form.Settings() = held;
    form.Settings().Discount(5) = "07,25";
    const TKkmSettings document = form.Settings();
    QString title;
    QStringList shown;
    QTimer watch;
    WhenShown(watch, "ComparisonDialog", [&](QWidget& dialog) {
      title = dialog.windowTitle();
      auto* list = Child<QListWidget>(dialog, "ComparisonList");
      for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
      dialog.close();
    });
    watch.start(20);
    dialogs.Name = file;
    Press(form, Qt::SHIFT | Qt::Key_F6);
    QCOMPARE(title, QStringLiteral("Сравнение с файлом 37.dat"));
    QCOMPARE(shown, QStringList({QStringLiteral("Файл отличается от документа: 1 поле"),
                                 QStringLiteral("Скидка 5: 07,25 → 00,00")}));
    QCOMPARE(form.Settings(), document);

    Press(form, Qt::CTRL | Qt::Key_O);
    std::vector<std::string> sheets = {folder.filePath(QStringLiteral("лист.pdf")).toStdString()};
    dialogs.Name = sheets.back();
    Press(form, QKeyCombination(Qt::Key_F12));
    QCOMPARE(dialogs.Proposed, "Лист установок ККМ 37 " + TimeStampText(LocalTimeNow()).substr(0, 10) + ".pdf");
    QCOMPARE(Child<QLabel>(form, "PanelStatus")->text(), QStringLiteral("Лист установок сохранён: лист.pdf"));
#ifdef ORBI7_PRINTING
    sheets.push_back(folder.filePath(QStringLiteral("печать.pdf")).toStdString());
    dialogs.Name = sheets.back();
    Press(form, Qt::CTRL | Qt::Key_P);
    QCOMPARE(Child<QLabel>(form, "PanelStatus")->text(), QStringLiteral("Лист установок отправлен на печать"));
#endif
    for (const std::string& sheet : sheets)
      QVERIFY2(ReadFileBytes(PathFromUtf8(sheet)).value_or("").starts_with("%PDF-"), sheet.c_str());
    QVERIFY(messages.Shown.empty());
    const std::vector<std::string> journal = form.Journal().LastLines(1);
    QVERIFY2(journal.back().ends_with(" · сравнение с файлом · Файл отличается от документа: 1 поле · файл " + file),
             journal.back().c_str());
    QVERIFY2(journal.at(journal.size() - 3)
                 .ends_with(" · лист установок · Лист установок сохранён: лист.pdf · файл " + sheets.front()),
             journal.at(journal.size() - 3).c_str());
  }

  void CancelChangesNothing() {
    QTemporaryDir folder;
    TRecordingMessages messages;
    TNamedFileDialogs dialogs;  // no name: the user cancels
    TMainForm form(messages);
    form.UseFileDialogs(dialogs);
    form.Settings().Discount(1) = "03,00";
    const TKkmSettings before = form.Settings();
    Click(form, "ToolButton1");
    Click(form, "ToolButton2");
    QCOMPARE(dialogs.Shown, 2);
    QCOMPARE(form.Settings(), before);
    QVERIFY(messages.Shown.empty());
    QVERIFY(QDir(folder.path()).isEmpty());
  }

  void MissingFileIsReportedAndKeepsTheDocument() {
    TRecordingMessages messages;
    TNamedFileDialogs dialogs;
    dialogs.Name = "/nonexistent/orbi7/settings.dat";
    QTemporaryDir folder;
    TMainForm form(messages);
    form.UseFileDialogs(dialogs);
    form.KeepJournalIn(folder.path().toStdString());
    form.Settings().Group(3).Tax = "2";
    const TKkmSettings before = form.Settings();
    Click(form, "ToolButton1");
    QCOMPARE(form.Settings(), before);
    QCOMPARE(messages.Shown.size(), size_t{1});
    QCOMPARE(messages.Shown[0].Kind, TMessageKind::Error);
    QCOMPARE(messages.Shown[0].Text, std::string("Не удается прочитать файл /nonexistent/orbi7/settings.dat"));
    const std::vector<std::string> journal = form.Journal().LastLines(1);
    QCOMPARE(journal.size(), size_t{1});
    QVERIFY2(journal[0].ends_with(" · загрузка файла · Не удается прочитать файл /nonexistent/orbi7/settings.dat · "
                                  "файл /nonexistent/orbi7/settings.dat"),
             journal[0].c_str());
  }

  // The first dialog starts in the user's documents (or home), the next where the file
  // chosen in it was; on Linux both offer the write's backups among their places.
  void DialogsStartWhereTheLastFileWasAndOfferTheBackups() {
#ifdef _WIN32
    QSKIP("Windows shows its own file dialog");
#endif
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).absoluteFilePath(QStringLiteral("shop.dat"));
    WriteBytes(file.toStdString(), "");
    TQtFileDialogs dialogs;
    QString started;
    QStringList places;
    const auto answer = [&](bool choose) {
      QTimer::singleShot(0, [&, choose] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        started = dialog->directory().absolutePath();
        const QAbstractItemModel* model = dialog->findChild<QListView*>(QStringLiteral("sidebar"))->model();
        for (int row = 0; row < model->rowCount(); ++row) places << model->index(row, 0).data().toString();
        if (!choose) return dialog->reject();
        dialog->selectFile(file);
        QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
        QTimer::singleShot(2000, dialog, &QFileDialog::reject);  // a dialog that took no answer fails the test
      });
    };
    answer(true);
    QCOMPARE(dialogs.OpenDialog1(), std::optional(file.toStdString()));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(started, QDir(QDir(documents).exists() ? documents : QDir::homePath()).absolutePath());
    QVERIFY2(places.contains(QString::fromUtf8(BackupsPlaceName)), qPrintable(places.join(QLatin1Char('|'))));
    answer(false);
    QCOMPARE(dialogs.SaveDialog1(), std::nullopt);
    QCOMPARE(started, QDir(folder.path()).absolutePath());
  }
};

QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
