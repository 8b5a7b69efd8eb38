#include <QtTest>

#include "app/DemoRegisters.h"
#include "register/Connect.h"
#include "support/RecordingMessages.h"

namespace {

class TConnectOutcome : public TConnectView {
 public:
  TUserMessages& Messages() override { return Boxes; }
  TRecordingMessages Boxes;
};

}  // namespace

// The demo's ports, connected in real time as a person would.
class DemoRegistersTest : public QObject {
  Q_OBJECT

 private slots:
  void EachPortAnswersAsTheReadmeSays() {
    TDemoRegisters demo;
    const TPortSystem ports = demo.Ports();
    TKkmLink link(SteadyClock(), ports.Open);

    TConnectOutcome com1;
    const auto first = Connect(link, ports.ButtonDevice(1), com1);
    QVERIFY(first.has_value());
    QCOMPARE(ConnectionText(*first), std::string("COM1 · ККМ № 00 · ПО 1.0.4"));
    QCOMPARE(demo.Com1.PurchaseCounter(), std::uint16_t{0});

    TConnectOutcome com2;
    QVERIFY(!Connect(link, ports.ButtonDevice(2), com2));
    QCOMPARE(com2.Boxes.Shown.at(0).Text, std::string("Выбранный COM-порт недоступен\nПорт не найден в системе."));

    TConnectOutcome com3;
    QVERIFY(!Connect(link, ports.ButtonDevice(3), com3));
    QCOMPARE(com3.Boxes.Shown.at(0).Text, std::string("Нет связи с ККМ\r\nПричина: ККМ не ответила на свой "
                                                      "адрес\r\nПроверьте кабель, питание ККМ и выбранный порт."));

    TConnectOutcome com4;
    const auto fourth = Connect(link, ports.ButtonDevice(4), com4);
    QVERIFY(fourth.has_value());
    QCOMPARE(ConnectionText(*fourth), std::string("COM4 · ККМ № 37 · ПО 1.0.5"));
    QVERIFY(demo.Com4.PurchaseCounter() > 0);
    QCOMPARE(ports.List().size(), std::size_t{3});
  }

  void Com1HoldsSettingsWithAValidChecksum() {
    TDemoRegisters demo;
    const TRamMap& map = FindFirmware(104)->Map;
    const auto& memory = demo.Com1.Memory();
    unsigned sum = 0;
    for (int i = 0; i < 192; ++i) sum += memory[map.SurchargeTable + i];
    QCOMPARE(memory[map.SettingsChecksum], static_cast<std::uint8_t>(sum));
    QCOMPARE(memory[map.SettingsChecksumCopy], memory[map.SettingsChecksum]);
    QVERIFY(memory[map.TaxKindTable] != 0);  // tax 1 is on
    QVERIFY(sum != 0);
  }
};

QTEST_MAIN(DemoRegistersTest)
#include "DemoRegistersTest.moc"
