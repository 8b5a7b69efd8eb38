#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "app/DemoRegisters.h"
#include "app/MainUnit.h"
#include "document/Cp1251.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/SettingsBackup.h"
#include "settingsfile/SettingsFile.h"
#include "support/Controls.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingMessages.h"
#include "ui/FileDialogs.h"
#include "ui/InitComm.h"
#include "ui/StringGrid.h"

namespace {

// The demo's COM1 register, in real time, connected.
struct TBench {
  TBench() : Form(Messages, Demo.Ports()) {
    Form.UseFileDialogs(Files);  // each gives Files.Name, or cancels without one
    Form.show();
    Form.PortDialog().Button1Click();
    if (!Form.PortDialog().ConnectedFlag) qFatal("the demo register does not answer");
  }
  QString Status() { return Control<QLabel>(Form, "PanelStatus")->text(); }
  // The journal's lines of the commands since the first call, newest first.
  std::vector<std::string> Journal() {
    if (!JournalFolder) {
      JournalFolder.emplace();
      Form.KeepJournalIn(JournalFolder->path().toStdString());
    }
    return Form.Journal().LastLines(1);
  }
  std::optional<QTemporaryDir> JournalFolder;

  TDemoRegisters Demo;
  TRecordingMessages Messages;
  TNamedFileDialogs Files;
  TMainForm Form;
};

void Click(QWidget& dialog, const char* button) {
  QTest::mouseClick(Control<QPushButton>(dialog, button), Qt::LeftButton);
}

const TRecordingMessages::TShown CloseQuestion{TMessageKind::Confirmation, "Закрыть приложение?"};

}  // namespace

class TransferWindowTest : public QObject {
  Q_OBJECT

 private:
  TIsolatedSettings Settings;  // the window's size and the last port, of this test's own

 private slots:
  // A write's backups never go to the user's own folder, however the test is started.
  void initTestCase() {
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("XDG_DATA_HOME")) qputenv("XDG_DATA_HOME", DataFolder.path().toUtf8());
#endif
  }

  // The session's states as the window shows them: the buttons that need a register,
  // and the register beside the status text, whole, or nothing once it is lost.
  void SessionStatesAsTheWindowShowsThem() {
    struct TRow {
      const char* Name;
      std::function<void(TBench&)> Step;
      bool On;
      QString LastBoxLine;
    };
    const TRow rows[] = {
        {"connected", [](TBench&) {}, true, {}},
        {"connect fails",
         [](TBench& b) {
           b.Form.PortDialog().findChild<QRadioButton*>(QStringLiteral("RadioButton3"))->setChecked(true);
           b.Form.PortDialog().Button1Click();
         },
         false, QStringLiteral("Проверьте кабель, питание ККМ и выбранный порт.")},
        {"link lost",
         [](TBench& b) {
           b.Demo.Com1.SetSilent(true);
           QTest::mouseClick(Control<QToolButton>(b.Form, "ToolButton4"), Qt::LeftButton);
         },
         false, QStringLiteral("Проверьте кабель, питание ККМ и выбранный порт.")},
        {"adapter pulled",
         [](TBench& b) {
           b.Demo.Com1.Inject({TFaultKind::Unplugged, TAnswerKind::Reply});
           QTest::mouseClick(Control<QToolButton>(b.Form, "ToolButton7"), Qt::LeftButton);
         },
         false, QStringLiteral("Подключите адаптер и повторите.")},
        // Pulled out while the taxes are written; "Повторить запись" waits for the
        // register in a box of its own, which "Отмена" closes: nothing more is written.
        {"write broken, repeat cancelled",
         [](TBench& b) {
           b.Messages.Answers = {TAnswer::Yes, TAnswer::Retry};
           QString waited;
           QTimer watch;
           connect(&watch, &QTimer::timeout, [&] {
             if (b.Status().startsWith(QStringLiteral("Запись налогов")) && b.Demo.Com1.PendingFaults() == 0)
               b.Demo.Com1.Inject({TFaultKind::Unplugged, TAnswerKind::Acknowledgement});
             auto* box = b.Form.findChild<QProgressDialog*>(QStringLiteral("WaitBox"));
             if (box == nullptr || !box->isVisible() || !waited.isEmpty()) return;
             waited = box->labelText();
             QTest::mouseClick(box->findChild<QPushButton*>(), Qt::LeftButton);
           });
           watch.start(10);
           QTest::mouseClick(Control<QToolButton>(b.Form, "ToolButton5"), Qt::LeftButton);
           QCOMPARE(waited, QStringLiteral("Ожидание ККМ № 00…"));
           QCOMPARE(b.Messages.Shown.at(1).Kind, TMessageKind::BrokenWrite);
         },
         false, QStringLiteral("Запись установок прервана: установки в ККМ записаны не полностью. Повторите запись.")},
        {"connected again",
         [](TBench& b) {
           b.Demo.Com1.Inject({TFaultKind::Unplugged, TAnswerKind::Echo});
           QTest::mouseClick(Control<QToolButton>(b.Form, "ToolButton7"), Qt::LeftButton);
           b.Demo.Com1.PlugIn();
           b.Form.PortDialog().Button1Click();
         },
         true, QStringLiteral("Подключите адаптер и повторите.")},
    };
    for (const TRow& row : rows) {
      TBench bench;
      row.Step(bench);
      auto* connection = Control<QLabel>(bench.Form, "PanelConnection");
      for (const char* button : {"ToolButton4", "ToolButton5", "ToolButton7"})
        QVERIFY2(Control<QToolButton>(bench.Form, button)->isEnabled() == row.On, row.Name);
      QCOMPARE(connection->text(), row.On ? QStringLiteral("COM1 · ККМ № 00 · ПО 1.0.4") : QString());
      QVERIFY2(connection->width() >= connection->fontMetrics().horizontalAdvance(connection->text()), row.Name);
      const QString box =
          bench.Messages.Shown.empty() ? QString() : QString::fromStdString(bench.Messages.Shown.back().Text);
      QCOMPARE(box.split(QStringLiteral("\r\n")).constLast(), row.LastBoxLine);
      QCOMPARE(bench.Form.Link().IsOpen(), row.On || row.LastBoxLine.startsWith(QStringLiteral("Проверьте")));
    }
  }

  void ReadFillsThePagesAndShowsProgress() {
    TBench bench;
    int progressSeen = 0;
    auto* progress = Control<QProgressBar>(bench.Form, "TransferProgress");
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { progressSeen += progress->isVisible() && progress->value() > 0; });
    watch.start(50);
    Control<QToolButton>(bench.Form, "ToolButton4")->click();
    QCOMPARE(bench.Status(), QStringLiteral("Чтение OK!"));
    QVERIFY(progressSeen > 0);
    QVERIFY(!progress->isVisible());
    QVERIFY(Control<QWidget>(bench.Form, "ToolBar1")->isEnabled());
    QVERIFY(Control<QWidget>(bench.Form, "PageControl1")->isEnabled());
    QVERIFY(Control<QCheckBox>(bench.Form, "CheckBox41")->isChecked());
    QCOMPARE(Control<QLineEdit>(bench.Form, "Edit28")->text(), QStringLiteral("20,00"));
    QCOMPARE(Control<QLineEdit>(bench.Form, "Edit29")->text(), QStringLiteral("НДС"));
    QCOMPARE(Control<TStringGrid>(bench.Form, "StringGrid2")->Cell(1, 2), QStringLiteral("10,00"));
    QCOMPARE(Control<TStringGrid>(bench.Form, "StringGrid1")->Cell(3, 2), QStringLiteral("1"));
  }

  // The comparison by mouse: its dialog lists what a write would change; closed with OK,
  // the register and the document are as they were.
  void ComparisonShowsItsDialogAndChangesNothing() {
    TBench bench;
    bench.Journal();
    Control<QToolButton>(bench.Form, "ToolButton4")->click();
    bench.Form.Settings().Discount(5) = "07,25";
    const TKkmSettings document = bench.Form.Settings();
    const auto heldBefore = bench.Demo.Com1.Memory();
    QStringList shown;
    QString title;
    QTimer watch;  // looks for the dialog while the register is read, without waiting itself
    connect(&watch, &QTimer::timeout, [&] {
      auto* dialog = bench.Form.findChild<QDialog*>(QStringLiteral("ComparisonDialog"));
      if (dialog == nullptr || !dialog->isVisible()) return;
      watch.stop();
      title = dialog->windowTitle();
      auto* list = Control<QListWidget>(*dialog, "ComparisonList");
      for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
      QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    watch.start(20);
    QTest::mouseClick(Control<QToolButton>(bench.Form, "ToolButton7"), Qt::LeftButton);
    QCOMPARE(title, QStringLiteral("Сравнение с ККМ"));
    QCOMPARE(shown, QStringList({QStringLiteral("Запись этого документа изменит в ККМ: 1 поле"),
                                 QStringLiteral("Скидка 5: 00,00 → 07,25")}));
    QCOMPARE(bench.Form.Settings(), document);
    QVERIFY(bench.Demo.Com1.Memory() == heldBefore);
    QVERIFY(Control<QWidget>(bench.Form, "ToolBar1")->isEnabled());
    QVERIFY(Control<QToolButton>(bench.Form, "ToolButton7")->isEnabled());
    const std::string journal = bench.Journal().at(0);
    QVERIFY2(journal.ends_with(" · сравнение · COM1 — Демонстрационная ККМ, ПО 1.0.4 · ККМ № 00 · ПО 1.0.4 · Запись "
                               "этого документа изменит в ККМ: 1 поле"),
             journal.c_str());
  }

  void WriteThenReadGivesBackTheChangedSettings() {
    TBench bench;
    bench.Journal();
    bench.Messages.Answers = {TAnswer::Yes};  // "write the settings?"
    Control<QToolButton>(bench.Form, "ToolButton4")->click();
    const TKkmSettings held = bench.Form.Settings();
    bench.Form.Settings().Discount(5) = "07,25";
    bench.Form.Settings().Group(60) = {"3", "5", ""};
    const TKkmSettings written = bench.Form.Settings();
    QTest::mouseClick(Control<QToolButton>(bench.Form, "ToolButton5"), Qt::LeftButton);
    QCOMPARE(bench.Status(), QStringLiteral("Запись OK!"));

    // The question listed the two changes and named the backup, which went to the
    // user's data folder and holds what the register held.
    QCOMPARE(bench.Messages.Shown.size(), size_t{1});
    const std::string question = bench.Messages.Shown[0].Text;
    const std::string changes =
        "\r\n\r\nСкидка 5: 00,00 → 07,25\r\nГруппа 60: налог — → 3\r\nГруппа 60: скидка — → 5\r\n\r\n";
    QVERIFY2(question.find(changes) != std::string::npos, question.c_str());
#ifndef _WIN32
    QVERIFY(!qEnvironmentVariableIsEmpty("XDG_DATA_HOME"));
    QVERIFY(Utf8FromPath(DefaultBackupFolder()).starts_with(qgetenv("XDG_DATA_HOME").toStdString()));
#endif
    const std::string lead = "Прежние установки будут сохранены в файл ";
    const std::size_t at = question.find(lead + Utf8FromPath(DefaultBackupFolder() / "kkm00-104-"));
    QVERIFY2(at != std::string::npos, question.c_str());
    TKkmSettings kept;
    TRecordingMessages loading;
    QVERIFY(LoadSettingsFile(question.substr(at + lead.size()), kept, loading));
    QCOMPARE(kept, held);
    QCOMPARE(Control<QLabel>(bench.Form, "PanelStatus")->text(), QStringLiteral("Запись OK!"));
    ClearGroups(bench.Form.Settings());
    ResetRates(bench.Form.Settings());
    Control<QToolButton>(bench.Form, "ToolButton4")->click();
    QCOMPARE(bench.Status(), QStringLiteral("Чтение OK!"));
    QCOMPARE(bench.Form.Settings(), written);
    QCOMPARE(Control<TStringGrid>(bench.Form, "StringGrid1")->Cell(2, 60), QStringLiteral("5"));
    // A line for each command, with the register, the outcome and the backup.
    const std::vector<std::string> journal = bench.Journal();
    QCOMPARE(journal.size(), size_t{3});
    QVERIFY2(
        journal[0].ends_with(" · чтение · COM1 — Демонстрационная ККМ, ПО 1.0.4 · ККМ № 00 · ПО 1.0.4 · Чтение OK!"),
        journal[0].c_str());
    QVERIFY2(
        journal[1].find(" · запись · COM1 — Демонстрационная ККМ, ПО 1.0.4 · ККМ № 00 · ПО 1.0.4 · Запись OK! · файл " +
                        Utf8FromPath(DefaultBackupFolder() / "kkm00-104-")) != std::string::npos,
        journal[1].c_str());
  }

  // A connect that fails in the port dialog leaves its line in the journal; the journal's
  // dialog shows it and saves the diagnostics, which hold the version, the ports, the
  // kept last port, that line and the probe's trace. "Открыть папку" opens the data
  // folder.
  void TheJournalKeepsAFailedConnectForTheDiagnostics() {
    TBench bench;
    bench.Journal();
    QTemporaryDir saved;
    TNamedFileDialogs& files = bench.Files;
    files.Name = saved.filePath(QStringLiteral("д.txt")).toStdString();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
    QTimer watch;
    WhenShown(watch, "Init_Com", [](QWidget& d) {
      Control<QRadioButton>(d, "RadioButton3")->setChecked(true);
      Click(d, "Button1");
      Click(d, "Button3");
    });
    QString shown;
    WhenShown(watch, "JournalDialog", [&](QWidget& d) {
      shown = Control<QPlainTextEdit>(d, "JournalText")->toPlainText();
      Click(d, "SaveDiagnostics");
      Click(d, "OpenDataFolder");
      shown += QLatin1Char('\n') + Control<QLabel>(d, "DiagnosticsSaved")->text();
      d.close();
    });
    watch.start(20);
    for (const Qt::Key key : {Qt::Key_F2, Qt::Key_F11}) Press(bench.Form, QKeyCombination(key));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    const std::vector<std::string> journal = bench.Journal();
    QCOMPARE(journal.size(), size_t{1});
    const std::string line = journal[0];
    QVERIFY2(line.ends_with(
                 " · подключение · COM3 — Линия без ККМ · Нет связи с ККМ · Причина: ККМ не ответила на свой адрес"),
             line.c_str());
    QVERIFY2(shown.startsWith(QString::fromStdString(line) + QLatin1Char('\n')), qPrintable(shown));
    QVERIFY(shown.endsWith(QDir::toNativeSeparators(QString::fromStdString(*files.Name))));
    QVERIFY(QRegularExpression(QStringLiteral("orbi7prog-diagnostics-\\d{4}-\\d\\d-\\d\\d\\.txt$"))
                .match(QString::fromStdString(files.Proposed))
                .hasMatch());
    QCOMPARE(OpenedUrls, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(bench.JournalFolder->path()).absolutePath())});
    QFile file(QString::fromStdString(*files.Name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::string diagnostics = file.readAll().toStdString();
    QVERIFY(diagnostics.starts_with("orbi7prog 1."));
    std::vector<std::string> expected = {"Qt: " + std::string(qVersion()), "Port/LastDevice=COM1", line};
    for (const TSerialPortInfo& port : bench.Demo.Ports().List()) expected.push_back(PortText(port));
    for (const std::string& part : expected)
      QVERIFY2(diagnostics.find("\n" + part + "\n") != std::string::npos, part.c_str());
    const std::size_t probe = diagnostics.find(" connect COM3\n");
    QVERIFY2(probe != std::string::npos && diagnostics.find(" MARK\n", probe) != std::string::npos,
             diagnostics.c_str());
  }

  // A read's document saved names its register, and a file loaded and saved again keeps
  // that. Written to another register it is asked about first; No sends nothing.
  void AnotherRegistersDocumentIsAskedAboutFirst() {
    TBench bench;
    bench.Journal();
    QTemporaryDir folder;
    TNamedFileDialogs& files = bench.Files;
    files.Name = folder.filePath(QStringLiteral("ККМ 00.dat")).toStdString();
    const auto section = [&files] {
      const std::string text = Cp1251ToUtf8(ReadFileBytes(PathFromUtf8(*files.Name)).value_or(""));
      return text.substr(std::min(text.find("[ККМ]"), text.size()));
    };
    Press(bench.Form, QKeyCombination(Qt::Key_F5));
    Press(bench.Form, Qt::CTRL | Qt::Key_S);
    const std::string saved = section();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\[ККМ\\]\r\nНомер=00\r\nПО=1\\.0\\.4\r\nДата=\\d{4}-\\d\\d-\\d\\d "
                                               "\\d\\d:\\d\\d\r\nПорт=COM1\r\n$"))
                 .match(QString::fromStdString(saved))
                 .hasMatch(),
             saved.c_str());
    Press(bench.Form, Qt::CTRL | Qt::Key_O);
    files.Name = folder.filePath(QStringLiteral("копия.dat")).toStdString();
    Press(bench.Form, Qt::CTRL | Qt::Key_S);
    QCOMPARE(section(), saved);

    bench.Form.PortDialog().findChild<QRadioButton*>(QStringLiteral("RadioButton4"))->setChecked(true);
    bench.Form.PortDialog().Button1Click();
    QVERIFY(bench.Form.PortDialog().ConnectedFlag);
    const auto memory = bench.Demo.Com4.Memory();
    bench.Messages.Shown.clear();
    bench.Messages.Answers = {TAnswer::No};
    Press(bench.Form, QKeyCombination(Qt::Key_F9));
    const TRecordingMessages::TShown question{
        TMessageKind::CarefulConfirmation,
        "Установки прочитаны из ККМ № 00, а подключена ККМ № 37. Записать их в ККМ № 37?"};
    QCOMPARE(bench.Messages.Shown, std::vector<TRecordingMessages::TShown>{question});
    QVERIFY(bench.Demo.Com4.Memory() == memory);
    QVERIFY2(bench.Journal().at(0).ends_with(" · ККМ № 37 · ПО 1.0.5 · Отменено: ответ «Нет»"),
             bench.Journal().at(0).c_str());
  }

  // Declined at its question, a write's line says so rather than the pre-read's status.
  void ADeclinedWriteIsJournalledAsDeclined() {
    TBench bench;
    bench.Journal();
    bench.Messages.Answers = {TAnswer::No};
    QTest::mouseClick(Control<QToolButton>(bench.Form, "ToolButton5"), Qt::LeftButton);
    const std::string line = bench.Journal().at(0);
    QVERIFY2(line.ends_with(
                 " · запись · COM1 — Демонстрационная ККМ, ПО 1.0.4 · ККМ № 00 · ПО 1.0.4 · Отменено: ответ «Нет»"),
             line.c_str());
  }

  void ARegisterWithPurchasesRefusesTheWrite() {
    TBench bench;
    bench.Journal();
    bench.Form.PortDialog().findChild<QRadioButton*>(QStringLiteral("RadioButton4"))->setChecked(true);
    bench.Form.PortDialog().Button1Click();
    QVERIFY(bench.Form.PortDialog().ConnectedFlag);
    bench.Messages.Answers = {TAnswer::Yes};
    const auto memory = bench.Demo.Com4.Memory();
    Control<QToolButton>(bench.Form, "ToolButton5")->click();
    QCOMPARE(bench.Messages.Shown.size(), size_t{2});
    QCOMPARE(bench.Messages.Shown[1].Kind, TMessageKind::Information);
    QCOMPARE(bench.Messages.Shown[1].Text,
             std::string("ККМ содержит покупки.\r\nНеобходимо вывести контрольную ленту."));
    QVERIFY(bench.Demo.Com4.Memory() == memory);
    const std::vector<std::string> journal = bench.Journal();
    QCOMPARE(journal.size(), size_t{1});
    QVERIFY2(journal[0].ends_with(" · запись · COM4 — Демонстрационная ККМ с покупками, ПО 1.0.5 · ККМ № 37 · ПО 1.0.5 "
                                  "· ККМ содержит покупки."),
             journal[0].c_str());
  }

  void ABadGroupCellIsShownAndNothingIsSent() {
    TBench bench;
    bench.Form.Settings().Group(40) = {"", "x", ""};
    bench.Demo.Com1.ClearTraffic();
    Control<QToolButton>(bench.Form, "ToolButton5")->click();
    QVERIFY(bench.Demo.Com1.Traffic().empty());
    QCOMPARE(Control<QTabWidget>(bench.Form, "PageControl1")->currentIndex(), 0);
    auto* grid = Control<TStringGrid>(bench.Form, "StringGrid1");
    QCOMPARE(grid->CurrentRow(), 40);
    QCOMPARE(grid->currentColumn(), 2);
  }

  void ClosingDuringAReadWithYesEndsAfterTheRead() {
    TBench bench;
    bench.Messages.Answers = {TAnswer::Yes};
    QTimer::singleShot(0, &bench.Form, [&] { Control<QToolButton>(bench.Form, "ToolButton4")->click(); });
    QTimer::singleShot(300, &bench.Form, [&] { bench.Form.close(); });
    QTimer::singleShot(20000, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(bench.Status(), QStringLiteral("Чтение OK!"));  // the command went on to its end
    QCOMPARE(bench.Messages.Shown, std::vector<TRecordingMessages::TShown>{CloseQuestion});
  }

  void ClosingDuringAReadWithNoGoesOn() {
    TBench bench;
    bench.Messages.Answers = {TAnswer::No};
    bool closed = true;
    QTimer::singleShot(0, &bench.Form, [&] {
      Control<QToolButton>(bench.Form, "ToolButton4")->click();
      QCoreApplication::exit(7);
    });
    QTimer::singleShot(300, &bench.Form, [&] { closed = bench.Form.close(); });
    QCOMPARE(QCoreApplication::exec(), 7);
    QVERIFY(!closed);
    QVERIFY(bench.Form.isVisible());
    QCOMPARE(bench.Status(), QStringLiteral("Чтение OK!"));
    QCOMPARE(bench.Messages.Shown, std::vector<TRecordingMessages::TShown>{CloseQuestion});
  }

 private:
  QTemporaryDir DataFolder;
  QList<QUrl> OpenedUrls;

 public slots:
  // Where "Открыть папку" would have the system's file manager go.
  void OpenUrl(const QUrl& url) { OpenedUrls << url; }
};

QTEST_MAIN(TransferWindowTest)
#include "TransferWindowTest.moc"
