#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "app/MainUnit.h"
#include "sim/SimulatedLine.h"
#include "sim/SimulatedRegister.h"
#include "support/Controls.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingMessages.h"
#include "ui/InitComm.h"
#include "ui/ProgramSettings.h"

namespace {

// COM1 leads to a register of firmware 1.0.4 at number 00, in real time; COM2 is
// absent; COM3 leads to a register of firmware 1.0.5 at number 37 that answers the
// probe but never acknowledges the version query.
struct TBench {
  TBench() : Kkm(0, 104), Kkm3(37, 105), Form(Messages, Ports()) {
    Kkm3.Inject({.Kind = TFaultKind::Silence, .Answer = TAnswerKind::Acknowledgement, .Times = -1});
    Form.show();
  }

  TPortSystem Ports() {
    TPortSystem ports;
    ports.Open = [this](const std::string& device) {
      TSimulatedRegister* kkm = device == "COM1" ? &Kkm : device == "COM3" ? &Kkm3 : nullptr;
      if (kkm == nullptr) return TOpenedPort::Failed(TPortFault::Absent);
      return TOpenedPort::Opened(std::make_unique<TSimulatedLine>(SteadyClock(), *kkm));
    };
    ports.ButtonDevice = [](int n) { return "COM" + std::to_string(n); };
    ports.List = [this] { return Listed; };
    return ports;
  }

  // Runs the port command; the steps act while the modal dialog is open.
  void PortCommand(std::vector<std::function<void(TInit_Com&)>> steps) {
    TInit_Com& dialog = Form.PortDialog();
    QTimer::singleShot(0, &dialog, [&dialog, steps] {
      if (!QTest::qWaitForWindowActive(&dialog)) qFatal("the port dialog does not become active");
      for (const auto& step : steps) step(dialog);
    });
    Control<QToolButton>(Form, "ToolButton3")->click();
  }

  QString Status() { return Control<QLabel>(Form, "PanelStatus")->text(); }
  bool ReadWriteEnabled() {
    return Control<QToolButton>(Form, "ToolButton4")->isEnabled() &&
           Control<QToolButton>(Form, "ToolButton5")->isEnabled();
  }

  TSimulatedRegister Kkm;
  TSimulatedRegister Kkm3;
  std::vector<TSerialPortInfo> Listed;
  TRecordingMessages Messages;
  TMainForm Form;
};

void Check(TInit_Com& dialog, const char* radio) { Control<QRadioButton>(dialog, radio)->setChecked(true); }
void PressConnect(TInit_Com& dialog) { Control<QPushButton>(dialog, "Button1")->click(); }
void Close(TInit_Com& dialog) {
  if (dialog.isVisible()) Control<QPushButton>(dialog, "Button3")->click();
}

}  // namespace

class PortDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void DialogLayout() {
    TBench bench;
    TInit_Com& dialog = bench.Form.PortDialog();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Настройка последовательного интерфейса"));
    QCOMPARE(dialog.size(), QSize(340, 208));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(Control<QPushButton>(dialog, "Button1")->geometry(), QRect(56, 48, 129, 25));
    QCOMPARE(Control<QPushButton>(dialog, "Button3")->text(), QStringLiteral("Закрыть"));
    QVERIFY(Control<QRadioButton>(dialog, "RadioButton1")->isChecked());
    QCOMPARE(Control<QRadioButton>(dialog, "RadioButton3")->geometry(), QRect(176, 16, 65, 17));
    QCOMPARE(Control<QRadioButton>(dialog, "RadioButton2")->toolTip(), QStringLiteral("COM2"));
    QWidget* expected[] = {Control<QPushButton>(dialog, "Button1"),       Control<QPushButton>(dialog, "Button3"),
                           Control<QRadioButton>(dialog, "RadioButton1"), Control<QRadioButton>(dialog, "RadioButton2"),
                           Control<QRadioButton>(dialog, "RadioButton3"), Control<QRadioButton>(dialog, "RadioButton4"),
                           Control<QRadioButton>(dialog, "RadioButton5"), Control<QComboBox>(dialog, "ComboBox1")};
    for (std::size_t i = 0; i + 1 < std::size(expected); ++i)
      QCOMPARE(expected[i]->nextInFocusChain(), expected[i + 1]);
    // The list's edit box belongs to it; the way of exchanging, then the search button.
    QCOMPARE(Control<QComboBox>(dialog, "ComboBox1")->lineEdit()->nextInFocusChain(),
             Control<QCheckBox>(dialog, "CheckBox1"));
    QCOMPARE(Control<QCheckBox>(dialog, "CheckBox1")->nextInFocusChain(), Control<QPushButton>(dialog, "Button2"));
    QCOMPARE(Control<QCheckBox>(dialog, "CheckBox1")->text(), QStringLiteral("Побайтный обмен"));
    QCOMPARE(Control<QPushButton>(dialog, "Button2")->text(), QStringLiteral("Найти ККМ"));
    QCOMPARE(Control<QRadioButton>(dialog, "RadioButton5")->text(), QStringLiteral("Другой порт:"));
  }

  // "Побайтный обмен" is off at the first run; ticked by mouse, it makes the read and
  // the write bytewise and stays so in the next run, until it is cleared.
  void BytewiseIsTickedAndKeptForTheNextRun() {
    for (const bool ticked : {false, true}) {
      TBench bench;
      TInit_Com& dialog = bench.Form.PortDialog();
      auto* box = Control<QCheckBox>(dialog, "CheckBox1");
      QCOMPARE(box->isChecked(), ticked);
      QCOMPARE(bench.Form.Session().TransferWay(), ticked ? TTransferWay::Bytewise : TTransferWay::Fast);
      dialog.show();
      QTest::mouseClick(box, Qt::LeftButton);
      QCOMPARE(bench.Form.Session().TransferWay(), ticked ? TTransferWay::Fast : TTransferWay::Bytewise);
      QCOMPARE(ProgramSettings().value(QString::fromLatin1(BytewiseKey)).toBool(), !ticked);
      Close(dialog);
    }
  }

  void ClosingAtOnceReportsNoLinkAndLeavesTheButtons() {
    TBench bench;
    bench.PortCommand({Close});
    QCOMPARE(bench.Status(), QStringLiteral("Нет связи с ККМ"));
    QVERIFY(!bench.ReadWriteEnabled());
    QVERIFY(bench.Messages.Shown.empty());
  }

  void SuccessEnablesReadAndWrite() {
    TBench bench;
    bench.PortCommand({PressConnect, Close});
    QCOMPARE(bench.Status(), QStringLiteral("Установлен интерфейс с ККМ"));
    QVERIFY(bench.ReadWriteEnabled());
    QVERIFY(bench.Messages.Shown.empty());
    QCOMPARE(bench.Form.Link().KkmAddress(), std::uint8_t{0xFF});
    QCOMPARE(bench.Form.Connection().Version, 104);
    QVERIFY(bench.Form.Connection().Firmware != nullptr);
    QCOMPARE(bench.Form.Connection().Firmware->Map.TaxNameTable, std::uint16_t{0x2E23});

    // Closing the next showing at once reports no link, but the connection stays usable.
    bench.PortCommand({Close});
    QCOMPARE(bench.Status(), QStringLiteral("Нет связи с ККМ"));
    QVERIFY(!bench.Form.PortDialog().ConnectedFlag);
    QVERIFY(bench.ReadWriteEnabled());
    QVERIFY(bench.Form.Link().IsOpen());
  }

  // Mended: the probe found the register on COM3 and its version query failed; the
  // link then held the new address with the version and map of COM1's register, and
  // a write went to the wrong register at the wrong addresses.
  void AFailedAttemptAfterAConnectionDisablesReadAndWrite() {
    TBench bench;
    bench.PortCommand({PressConnect, Close});
    QVERIFY(bench.ReadWriteEnabled());
    // The failure's box closing activates the dialog again before it is closed.
    const auto activate = [](TInit_Com& d) {
      QEvent activation(QEvent::WindowActivate);
      QApplication::sendEvent(&d, &activation);
    };
    bench.PortCommand({[](TInit_Com& d) { Check(d, "RadioButton3"); }, PressConnect, activate, Close});
    QCOMPARE(bench.Status(), QStringLiteral("Нет связи с ККМ"));
    QVERIFY(!bench.ReadWriteEnabled());
    QCOMPARE(bench.Form.Link().FirmwareVersion(), 0);
    QVERIFY(bench.Form.Connection().Firmware == nullptr);

    bench.Kkm.ClearTraffic();
    bench.Kkm3.ClearTraffic();
    bench.Messages.Answers = {TAnswer::Yes};
    QTest::mouseClick(Control<QToolButton>(bench.Form, "ToolButton5"), Qt::LeftButton);
    bench.Form.ToolButton5Click();  // even if the button were still there
    QVERIFY(bench.Kkm.Traffic().empty());
    QVERIFY(bench.Kkm3.Traffic().empty());
  }

  // Mended: Enter on the focused "Установить интерфейс" did nothing. Enter presses the
  // button that has the focus; Escape closes the dialog as "Закрыть" does.
  void EnterPressesTheFocusedButtonAndEscapeCloses() {
    TBench bench;
    bool closedByEnter = false;
    bench.PortCommand({[](TInit_Com& d) {
                         Control<QPushButton>(d, "Button1")->setFocus();
                         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                       },
                       [&](TInit_Com& d) { closedByEnter = !d.isVisible(); }, Close});
    QVERIFY(closedByEnter);  // the connection succeeded and closed the dialog
    QCOMPARE(bench.Status(), QStringLiteral("Установлен интерфейс с ККМ"));

    bool open = true;
    bench.PortCommand({[](TInit_Com& d) { QTest::keyClick(&d, Qt::Key_Escape); },
                       [&](TInit_Com& d) { open = d.isVisible(); }, Close});
    QVERIFY(!open);
    QCOMPARE(bench.Status(), QStringLiteral("Нет связи с ККМ"));
    QVERIFY(bench.ReadWriteEnabled());  // closing without an attempt keeps the connection
    QVERIFY(bench.Messages.Shown.empty());
  }

  void AFailedAttemptKeepsTheChoiceAndTheDialogOpen() {
    TBench bench;
    bool openAfterFailure = false;
    bench.PortCommand({[](TInit_Com& d) { Check(d, "RadioButton2"); }, PressConnect,
                       [&](TInit_Com& d) { openAfterFailure = d.isVisible(); }, Close});
    QVERIFY(openAfterFailure);
    const std::vector<TRecordingMessages::TShown> unavailable = {
        {TMessageKind::Warning, "Выбранный COM-порт недоступен\nПорт не найден в системе."}};
    QCOMPARE(bench.Messages.Shown, unavailable);
    QCOMPARE(bench.Status(), QStringLiteral("Нет связи с ККМ"));
    QVERIFY(!bench.ReadWriteEnabled());

    // The next showing starts on the port chosen last.
    std::string shownPort;
    bench.PortCommand({[&](TInit_Com& d) { shownPort = d.CheckedDevice(); }, Close});
    QCOMPARE(shownPort, std::string("COM2"));
  }

  // The search finds COM1's register, connects as the connect button does, and the
  // next run chooses that port again; a port typed into the list is opened by name.
  void TheSearchConnectsAndTheNextRunChoosesThePortAgain() {
    {
      TBench bench;
      bench.Listed = {{"COM7", "USB-SERIAL CH340", "1A86:7523", "", ""}};
      QString entry;
      bench.PortCommand({[&](TInit_Com& d) {
                           entry = Control<QComboBox>(d, "ComboBox1")->itemText(0);
                           Check(d, "RadioButton3");
                           QTest::mouseClick(Control<QPushButton>(d, "Button2"), Qt::LeftButton);
                           QCOMPARE(Control<QPushButton>(d, "Button2")->text(), QStringLiteral("Остановить поиск"));
                           QVERIFY(!Control<QPushButton>(d, "Button1")->isEnabled());
                           QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), 10000);
                         },
                         Close});
      QCOMPARE(entry, QStringLiteral("COM7 — USB-SERIAL CH340"));
      QCOMPARE(bench.Status(), QStringLiteral("Установлен интерфейс с ККМ"));
      QCOMPARE(bench.Form.Connection().Device, std::string("COM1"));
      QCOMPARE(Control<QLabel>(bench.Form, "PanelConnection")->toolTip(), QStringLiteral("COM1 · ККМ № 00 · ПО 1.0.4"));
      QVERIFY(bench.Messages.Shown.empty());
    }
    TBench next;
    std::string chosen;
    next.PortCommand({[&](TInit_Com& d) {
                        chosen = d.CheckedDevice();
                        Control<QComboBox>(d, "ComboBox1")->setEditText(QStringLiteral("/dev/ttyUSB9"));
                        chosen += " " + d.CheckedDevice();
                        PressConnect(d);
                      },
                      Close});
    QCOMPARE(chosen, std::string("COM1 /dev/ttyUSB9"));
    QCOMPARE(next.Messages.Shown.at(0).Text, std::string("Выбранный COM-порт недоступен\nПорт не найден в системе."));
  }

  void ASearchWithoutARegisterSaysSoAndStaysOpen() {
    TBench bench;
    bench.Kkm.SetSilent(true);
    bench.Kkm3.SetSilent(true);
    bool open = false;
    bench.PortCommand({[&](TInit_Com& d) {
                         QTest::mouseClick(Control<QPushButton>(d, "Button2"), Qt::LeftButton);
                         QVERIFY(Control<QLabel>(d, "Label1")->text().startsWith(QStringLiteral("Поиск ККМ: COM1, ")));
                         QTRY_VERIFY_WITH_TIMEOUT(!bench.Messages.Shown.empty(), 10000);
                         open = d.isVisible();
                         QCOMPARE(Control<QPushButton>(d, "Button2")->text(), QStringLiteral("Найти ККМ"));
                       },
                       Close});
    QVERIFY(open);
    const std::vector<TRecordingMessages::TShown> none = {
        {TMessageKind::Information, "ККМ не найдена ни на одном порту."}};
    QCOMPARE(bench.Messages.Shown, none);
    QVERIFY(!bench.ReadWriteEnabled());
  }

 private:
  TIsolatedSettings Settings;  // the last port connected, of this test's own
};

QTEST_MAIN(PortDialogTest)
#include "PortDialogTest.moc"
