#include "register/TransferCommands.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "document/RateText.h"
#include "document/SettingsRules.h"
#include "link/DisplayExchange.h"
#include "link/KkmConnect.h"
#include "link/KkmFrames.h"
#include "register/Firmware.h"
#include "register/RegisterRecords.h"

namespace {

const char* const NoFirmwareVersion =
    "В ККМ обнаружена версия ПО ниже 1.0.4.\r\nРекомендуется установить указанную версию.";
const std::string NoInterface = "Не удается установить интерфейс с ККМ";
const std::string PartialWrite =
    NoInterface + "\r\nЗапись установок прервана: установки в ККМ записаны не полностью. Повторите запись.";
const char* const ConfirmWrite = "Вы уверены что хотите записать установки в ККМ?";
const char* const NoFourthTax = "В ККМ этой версии нет налога 4: он не будет записан.";
const char* const HoldsPurchases = "ККМ содержит покупки.\r\nНеобходимо вывести контрольную ленту.";

const char* const Reading = "Чтение";
const char* const Writing = "Запись";
const char* const OfTaxes = "налогов";
const char* const OfDiscounts = "скидок";
const char* const OfSurcharges = "надбавок";
const char* const OfGroups = "товарных групп";
const char* const ReadingDone = "Чтение OK!";
const char* const WritingDone = "Запись OK!";

constexpr int RateBytes = 4;
constexpr int DisplayExchanges = 6;  // memory exchanges of one DisplayExchange
constexpr int DisplayCalls = 6;      // four tables, the OK line, the restore

// A failed exchange anywhere in a transfer; it never leaves this file.
struct TLinkLost {};

// The exchanges of one running command, counted for the progress indicator. A
// failed exchange throws, so that every one of them ends the command the same way.
class TTransfer {
 public:
  TTransfer(TKkmLink& link, TWindowView& view, int total) : Link(link), View(view), Total(total) {
    View.SetProgress(0, Total);
  }
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;
  ~TTransfer() { View.SetProgress(0, 0); }

  std::uint8_t Read(std::uint16_t address) {
    std::uint8_t byte = 0;
    const bool read = ReadMemoryByte(Link, address, byte);
    Count(1);
    if (!read) throw TLinkLost{};
    return byte;
  }

  void Write(std::uint16_t address, std::uint8_t value) {
    Written([&] { return WriteMemoryByte(Link, address, value); });
  }

  void WriteBlock(const TImagePiece& piece, const SettingsImage& image, TBlockHandshake handshake) {
    Written([&] { return WriteMemoryBlock(Link, piece.Address, image.data() + piece.Offset, piece.Count, handshake); });
  }

  // Whether the register may hold any of the settings written: the frame of a write
  // has begun to leave the PC.
  bool WroteAny() const { return FrameSent; }

  // Its outcome is not looked at: a dead link shows at the next read or write.
  std::pair<std::string, std::string> Display(std::string line1, std::string line2) {
    DisplayExchange(Link, line1, line2);
    Count(DisplayExchanges);
    return {std::move(line1), std::move(line2)};
  }

  void Skip(int exchanges) { Count(exchanges); }
  void Delay(TTick ms) { Link.Delay(ms); }
  void Pump() { View.ProcessMessages(); }
  void Status(const std::string& text) { View.SetStatus(text); }

 private:
  template <typename TWrite>
  void Written(TWrite write) {
    const std::uint64_t framesBefore = Link.FramesSent;
    const bool written = write();
    FrameSent = FrameSent || Link.FramesSent != framesBefore;
    Count(1);
    if (!written) throw TLinkLost{};
  }

  void Count(int exchanges) {
    Done += exchanges;
    View.SetProgress(Done, Total);
  }

  TKkmLink& Link;
  TWindowView& View;
  int Total;
  int Done = 0;
  bool FrameSent = false;
};

bool HasMap(const TKkmLink& link, const TRamMap& map) {
  return link.FirmwareVersion != 0 && map.IsSelectedFor(link.FirmwareVersion);
}

void RefuseWithoutMap(TWindowView& view) {
  view.Messages().Show(TMessageKind::Information, NoFirmwareVersion);
  view.ButtonDisabled();
}

void StartTransfer(TWindowView& view) {
  view.RepaintToolbar();
  view.DisableToolbarAndPages();
}

void LinkFailure(TWindowView& view, const std::string& box = NoInterface) {
  view.Messages().Show(TMessageKind::Information, box);
  view.SetStatus(NoConnectionText);
  view.SetAll();
  view.ButtonDisabled();
}

std::string Numbered(const char* text, int n) { return text + std::to_string(n); }

// Reading -------------------------------------------------------------------

constexpr int TaxReads = 1 + RateBytes + TaxNameRecord::NameLength;

void ReadTax(TTransfer& transfer, const TRamMap& map, TKkmSettings& settings, int t) {
  TTaxSetting& tax = settings.Tax(t);
  transfer.Status(Numbered("Чтение налогов. Налог - ", t));
  transfer.Pump();
  DecodeTaxKind(t, transfer.Read(TaxKindAddress(map, t)), tax);
  if (!tax.Enabled) {
    transfer.Skip(TaxReads - 1);
    return;
  }
  RegisterRate rate{};
  for (int i = 0; i < RateBytes; ++i) rate[i] = transfer.Read(static_cast<std::uint16_t>(TaxRateAddress(map, t) + i));
  tax.Rate = DecodeRate(rate);
  const auto name = static_cast<std::uint16_t>(TaxNameAddress(map, t) + TaxNameRecord::NameOffset);
  TaxNameBytes bytes{};
  for (int j = 0; j < TaxNameRecord::NameLength; ++j) {
    transfer.Pump();
    bytes[j] = transfer.Read(static_cast<std::uint16_t>(name + j));
  }
  tax.Name = DecodeTaxName(bytes);
}

void ReadRates(TTransfer& transfer, std::uint16_t (*address)(const TRamMap&, int), const TRamMap& map,
               TKkmSettings& settings, TSection section, const char* status) {
  auto& rates = section == TSection::Discounts ? settings.Discounts : settings.Surcharges;
  for (int n = 1; n <= RateCount; ++n) {
    transfer.Status(Numbered(status, n));
    transfer.Pump();
    RegisterRate rate{};
    for (int i = 0; i < RateBytes; ++i) rate[i] = transfer.Read(static_cast<std::uint16_t>(address(map, n) + i));
    rates[n - 1] = DecodeRate(rate);
  }
}

void ReadGroups(TTransfer& transfer, const TRamMap& map, TKkmSettings& settings) {
  for (int g = 1; g <= GroupCount; ++g) {
    transfer.Status(Numbered("Чтение товарных групп. Группа - ", g));
    transfer.Pump();
    settings.Group(g) = DecodeGroupByte(transfer.Read(GroupAddress(map, g)));
  }
}

void ReadAll(TTransfer& transfer, const TRamMap& map, TKkmSettings& settings) {
  transfer.Delay(150);
  const auto saved = transfer.Display(Reading, OfTaxes);
  transfer.Pump();
  for (TTaxSetting& tax : settings.Taxes) {
    tax.Rate.clear();
    tax.Name.clear();
  }
  const int taxCount = LayoutTaxCount(map);
  for (int t = 1; t <= TaxCount; ++t) {
    if (t <= taxCount) {
      ReadTax(transfer, map, settings, t);
    } else {
      settings.Tax(t).Enabled = false;  // the layout has no room for it
    }
  }
  transfer.Display(Reading, OfDiscounts);
  ReadRates(transfer, DiscountAddress, map, settings, TSection::Discounts, "Чтение скидок. Скидка - ");
  transfer.Display(Reading, OfSurcharges);
  ReadRates(transfer, SurchargeAddress, map, settings, TSection::Surcharges, "Чтение надбавок. Надбавка - ");
  transfer.Display(Reading, OfGroups);
  ReadGroups(transfer, map, settings);
  transfer.Delay(50);
  transfer.Display(ReadingDone, "");
  transfer.Status(ReadingDone);
  transfer.Delay(600);
  transfer.Display(saved.first, saved.second);
}

// Writing -------------------------------------------------------------------

// The exchanges of a tax: its kind byte and rate, then for a tax that is on its
// name record's marker and name bytes.
int TaxWrites(const TKkmSettings& settings, int t) {
  return 1 + RateBytes + (settings.Tax(t).Enabled ? 1 + TaxNameRecord::NameLength : 0);
}

// A whole number with an optional sign that fits an int, as the messages below tell
// it apart from other text; nothing for any other text.
std::optional<long long> SignedIntegerValue(const std::string& text) {
  std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<int>::max() + 1ll) return std::nullopt;
  }
  if (text[0] == '-') value = -value;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return value;
}

// Every group field must be empty or a number in the range the pages allow, read as
// the pages read it, since a file can bring anything into the grid. A number outside
// the range gets the range message; anything else, a sign or blanks included, is not
// a number the group byte can take.
bool GroupFieldsFit(const TKkmSettings& settings, TWindowView& view) {
  constexpr TGroupField Fields[] = {TGroupField::Tax, TGroupField::Discount, TGroupField::Surcharge};
  for (int g = 1; g <= GroupCount; ++g) {
    for (const TGroupField field : Fields) {
      const std::string& text = settings.Group(g).Field(field);
      const int limit = GroupFieldLimit(field);
      if (GroupFieldNumber(text, limit)) continue;
      const auto value = SignedIntegerValue(text);
      if (value && (*value < 0 || *value > limit)) {
        view.Messages().Show(TMessageKind::Plain, GroupFieldRange(field));
      } else {
        view.Messages().Show(TMessageKind::Error, "'" + text + "' is not a valid integer value");
      }
      view.ShowGroupCell(g, field);
      return false;
    }
  }
  return true;
}

int WriteTotal(const TRamMap& map, const TKkmSettings& settings) {
  const int blocks = static_cast<int>(SettingsImagePieces(SettingsImageSize(LayoutTaxCount(map))).size());
  int total = 2 + 2 * RateCount * RateBytes + GroupCount + 2 + blocks + DisplayCalls * DisplayExchanges;
  for (int t = 1; t <= LayoutTaxCount(map); ++t) total += TaxWrites(settings, t);
  return total;
}

bool HoldsNoPurchases(TTransfer& transfer, const TRamMap& map) {
  const std::uint8_t high = transfer.Read(map.PurchaseCounter);
  const std::uint8_t low = transfer.Read(static_cast<std::uint16_t>(map.PurchaseCounter + 1));
  return PurchaseCount(high, low) == 0;
}

void WriteTax(TTransfer& transfer, const TRamMap& map, const TKkmSettings& settings, const SettingsImage& image,
              int t) {
  const int taxCount = LayoutTaxCount(map);
  transfer.Status(Numbered("Запись налогов. Налог - ", t));
  transfer.Pump();
  transfer.Write(TaxKindAddress(map, t), image[ImageTaxKindOffset + t - 1]);
  // The image holds four zero digits for a tax that is off.
  const std::size_t rate = ImageTaxRateOffset(taxCount) + RateBytes * (t - 1);
  for (int i = 0; i < RateBytes; ++i) {
    transfer.Write(static_cast<std::uint16_t>(TaxRateAddress(map, t) + i), image[rate + i]);
  }
  if (!settings.Tax(t).Enabled) return;
  const std::uint16_t record = TaxNameAddress(map, t);
  transfer.Write(record, TaxNameRecord::Marker);
  const TaxNameBytes name = EncodeTaxName(settings.Tax(t).Name);
  for (int i = 0; i < TaxNameRecord::NameLength; ++i) {
    transfer.Pump();
    transfer.Write(static_cast<std::uint16_t>(record + TaxNameRecord::NameOffset + i), name[i]);
  }
}

void WriteRates(TTransfer& transfer, std::uint16_t (*address)(const TRamMap&, int), const TRamMap& map,
                const SettingsImage& image, std::size_t offset, const char* status) {
  for (int n = 1; n <= RateCount; ++n) {
    transfer.Status(Numbered(status, n));
    transfer.Pump();
    for (int i = 0; i < RateBytes; ++i) {
      transfer.Write(static_cast<std::uint16_t>(address(map, n) + i), image[offset + RateBytes * (n - 1) + i]);
    }
  }
}

bool WriteAll(TTransfer& transfer, const TFirmware& firmware, const TRamMap& map, const TKkmSettings& settings,
              TWindowView& view) {
  if (!HoldsNoPurchases(transfer, map)) {
    view.Messages().Show(TMessageKind::Information, HoldsPurchases);
    view.SetAll();
    return false;
  }
  // The window keeps repainting while the image is worked out, row by row of the
  // tables it holds.
  for (int row = 0; row < 2 * RateCount + GroupCount; ++row) transfer.Pump();
  const int taxCount = LayoutTaxCount(map);
  const std::optional<SettingsImage> image = BuildSettingsImage(settings, taxCount);
  if (!image) {  // the rules and the group check above leave nothing that has no register form
    view.SetAll();
    return false;
  }
  transfer.Delay(150);
  const auto saved = transfer.Display(Writing, OfTaxes);
  for (int t = 1; t <= taxCount; ++t) WriteTax(transfer, map, settings, *image, t);
  transfer.Display(Writing, OfDiscounts);
  WriteRates(transfer, DiscountAddress, map, *image, ImageDiscountOffset, "Запись скидок. Скидка - ");
  transfer.Display(Writing, OfSurcharges);
  WriteRates(transfer, SurchargeAddress, map, *image, ImageSurchargeOffset, "Запись надбавок. Надбавка - ");
  transfer.Delay(150);
  transfer.Display(Writing, OfGroups);
  for (int g = 1; g <= GroupCount; ++g) {
    transfer.Status(Numbered("Запись товарных групп. Группа - ", g));
    transfer.Pump();
    transfer.Write(GroupAddress(map, g), (*image)[ImageGroupOffset + g - 1]);
  }
  const std::uint8_t checksum = image->back();
  transfer.Delay(50);
  transfer.Write(map.SettingsChecksum, checksum);
  transfer.Delay(50);
  transfer.Write(map.SettingsChecksumCopy, checksum);
  const std::vector<TImagePiece> pieces = SettingsImagePieces(image->size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    transfer.WriteBlock(pieces[i], *image, firmware.Handshake);
    if (i + 1 < pieces.size()) transfer.Delay(200);
  }
  transfer.Status(WritingDone);
  transfer.Display(WritingDone, "");
  transfer.Delay(600);
  transfer.Display(saved.first, saved.second);
  view.SetAll();
  return true;
}

}  // namespace

bool ReadSettingsFromKkm(TKkmLink& link, const TRamMap& map, TKkmSettings& settings, TWindowView& view) {
  if (!HasMap(link, map)) {
    RefuseWithoutMap(view);
    return false;
  }
  StartTransfer(view);
  const int total =
      LayoutTaxCount(map) * TaxReads + 2 * RateCount * RateBytes + GroupCount + DisplayCalls * DisplayExchanges;
  TTransfer transfer(link, view, total);
  // Read into a copy: a read that breaks off leaves the document (and so the pages) as
  // it was, never mixed with another register's settings.
  TKkmSettings read = settings;
  try {
    ReadAll(transfer, map, read);
  } catch (const TLinkLost&) {
    LinkFailure(view);
    return false;
  }
  settings = read;
  for (const TSection section : {TSection::Taxes, TSection::Discounts, TSection::Surcharges, TSection::Groups})
    settings.Changed(section);
  view.SetAll();
  return true;
}

bool WriteSettingsToKkm(TKkmLink& link, const TRamMap& map, TKkmSettings& settings, TWindowView& view,
                        TRuleView& rules) {
  if (!HasMap(link, map)) {
    RefuseWithoutMap(view);
    return false;
  }
  if (!Error_Proc(settings, rules)) return false;
  if (!GroupFieldsFit(settings, view)) {
    view.SetAll();
    return false;
  }
  if (!HasFourthTax(map) && settings.Tax(TaxCount).Enabled) {
    view.Messages().Show(TMessageKind::Information, NoFourthTax);
  }
  if (!view.Messages().Confirm(ConfirmWrite)) {
    view.SetAll();
    return false;
  }
  StartTransfer(view);
  TTransfer transfer(link, view, WriteTotal(map, settings));
  try {
    // The map was selected for this version (HasMap), so it has a row.
    return WriteAll(transfer, *FindFirmware(link.FirmwareVersion), map, settings, view);
  } catch (const TLinkLost&) {
    // A write that has begun to change the register says that it holds a part of it.
    LinkFailure(view, transfer.WroteAny() ? PartialWrite : NoInterface);
    return false;
  }
}
