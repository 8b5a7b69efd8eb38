#include <QtTest>

#include "app/DemoRegisters.h"
#include "link/KkmConnect.h"
#include "register/RamList.h"
#include "support/RecordingMessages.h"

namespace {

class TConnectOutcome : public TConnectView {
 public:
  TUserMessages& Messages() override { return Boxes; }
  bool SelectRamMap(std::int32_t version) override { return Map.SelectRamMapFor(version); }
  void ForgetRamMap() override { Map = TRamMap{}; }
  void CloseDialog() override {}
  TRecordingMessages Boxes;
  TRamMap Map;
};

}  // namespace

// The demo's ports, connected in real time as a person would.
class DemoRegistersTest : public QObject {
  Q_OBJECT

 private slots:
  void EachPortAnswersAsTheReadmeSays() {
    TDemoRegisters demo;
    TKkmLink link(SteadyClock(), demo.Opener());

    TConnectOutcome com1;
    QVERIFY(ConnectKkm(link, 1, com1));
    QCOMPARE(link.KkmAddress, std::uint8_t{0xFF});
    QCOMPARE(link.FirmwareVersion, 104);
    QCOMPARE(demo.Com1.PurchaseCounter(), std::uint16_t{0});

    TConnectOutcome com2;
    QVERIFY(!ConnectKkm(link, 2, com2));
    QCOMPARE(com2.Boxes.Shown.at(0).Text, std::string("Выбранный COM-порт недоступен"));

    TConnectOutcome com3;
    QVERIFY(!ConnectKkm(link, 3, com3));
    QCOMPARE(com3.Boxes.Shown.at(0).Text, std::string("Нет связи с ККМ"));

    TConnectOutcome com4;
    QVERIFY(ConnectKkm(link, 4, com4));
    QCOMPARE(link.KkmAddress, std::uint8_t{0xFF - 0x37});
    QCOMPARE(link.FirmwareVersion, 105);
    QVERIFY(demo.Com4.PurchaseCounter() > 0);
  }

  void Com1HoldsSettingsWithAValidChecksum() {
    TDemoRegisters demo;
    TRamMap map;
    map.SelectRamMap(104);
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
