#include "register/SettingsPlans.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "register/RegisterRecords.h"

namespace {

const char* const Reading = "Чтение";
const char* const Writing = "Запись";
const char* const OfTaxes = "налогов";
const char* const OfDiscounts = "скидок";
const char* const OfSurcharges = "надбавок";
const char* const OfGroups = "товарных групп";
const char* const OfSettings = "установок";
const char* const ReadingDone = "Чтение OK!";
const char* const WritingDone = "Запись OK!";

const char* const ReadingTax = "Чтение налогов. Налог - ";
const char* const ReadingDiscount = "Чтение скидок. Скидка - ";
const char* const ReadingSurcharge = "Чтение надбавок. Надбавка - ";
const char* const ReadingGroup = "Чтение товарных групп. Группа - ";
const char* const WritingTax = "Запись налогов. Налог - ";
const char* const WritingDiscount = "Запись скидок. Скидка - ";
const char* const WritingSurcharge = "Запись надбавок. Надбавка - ";
const char* const WritingGroup = "Запись товарных групп. Группа - ";

std::string Numbered(const char* text, int n) { return text + std::to_string(n); }

void PlanReadEnding(TTransferPlan& plan) {
  plan.Delay(50);
  plan.Display(ReadingDone, "");
  plan.Status(ReadingDone);
  plan.Delay(600);
  plan.RestoreDisplay();
}

// Reading a byte an exchange -------------------------------------------------

constexpr int NameSteps = 2 * TaxNameRecord::NameLength;  // a pump and a read a byte

bool KindReadsAsOn(int t, std::uint8_t kind) {
  TTaxSetting tax;
  DecodeTaxKind(t, kind, tax);
  return tax.Enabled;
}

void PlanTaxRead(TTransferPlan& plan, const TRamMap& map, int t) {
  plan.Status(Numbered(ReadingTax, t));
  plan.Pump();
  // A tax that reads as off has no rate or name to read.
  plan.ReadThenSkipUnless(
      TaxKindAddress(map, t), [t](std::uint8_t kind) { return KindReadsAsOn(t, kind); }, RateBytes + NameSteps);
  for (int i = 0; i < RateBytes; ++i) plan.Read(static_cast<std::uint16_t>(TaxRateAddress(map, t) + i));
  const auto name = static_cast<std::uint16_t>(TaxNameAddress(map, t) + TaxNameRecord::NameOffset);
  for (int j = 0; j < TaxNameRecord::NameLength; ++j) {
    plan.Pump();
    plan.Read(static_cast<std::uint16_t>(name + j));
  }
}

void PlanRateReads(TTransferPlan& plan, std::uint16_t (*address)(const TRamMap&, int), const TRamMap& map,
                   const char* status) {
  for (int n = 1; n <= RateCount; ++n) {
    plan.Status(Numbered(status, n));
    plan.Pump();
    for (int i = 0; i < RateBytes; ++i) plan.Read(static_cast<std::uint16_t>(address(map, n) + i));
  }
}

TTransferPlan BytewiseReadPlan(const TRamMap& map) {
  TTransferPlan plan;
  plan.Delay(150);
  plan.Display(Reading, OfTaxes);
  plan.Pump();
  for (int t = 1; t <= LayoutTaxCount(map); ++t) PlanTaxRead(plan, map, t);
  plan.Display(Reading, OfDiscounts);
  PlanRateReads(plan, DiscountAddress, map, ReadingDiscount);
  plan.Display(Reading, OfSurcharges);
  PlanRateReads(plan, SurchargeAddress, map, ReadingSurcharge);
  plan.Display(Reading, OfGroups);
  for (int g = 1; g <= GroupCount; ++g) {
    plan.Status(Numbered(ReadingGroup, g));
    plan.Pump();
    plan.Read(GroupAddress(map, g));
  }
  PlanReadEnding(plan);
  return plan;
}

// Frames of up to 16 bytes ----------------------------------------------------

struct TFrame {
  std::size_t Offset;
  std::size_t Length;
};
using TWanted = std::function<bool(std::size_t offset)>;

// Frames of up to MaxRangeRead bytes over [first, end) that take every byte `wanted`
// says; the bytes between two wanted ones in a frame go with it.
std::vector<TFrame> FramesOver(std::size_t first, std::size_t end, const TWanted& wanted) {
  std::vector<TFrame> frames;
  for (std::size_t at = first; at < end;) {
    if (!wanted(at)) {
      ++at;
      continue;
    }
    std::size_t last = at;
    for (std::size_t next = at + 1; next < std::min(end, at + MaxRangeRead); ++next) {
      if (wanted(next)) last = next;
    }
    frames.push_back({at, last + 1 - at});
    at = last + 1;
  }
  return frames;
}

// The items of a table (`items` of `itemBytes` bytes from `offset` on), each after its
// status and a pump, with the frames that begin in it.
template <typename TPlanFrame>
void PlanFramedItems(TTransferPlan& plan, const char* status, int items, std::size_t itemBytes, std::size_t offset,
                     const TWanted& wanted, TPlanFrame frame) {
  const std::vector<TFrame> frames = FramesOver(offset, offset + static_cast<std::size_t>(items) * itemBytes, wanted);
  auto next = frames.begin();
  for (int n = 1; n <= items; ++n) {
    plan.Status(Numbered(status, n));
    plan.Pump();
    for (const std::size_t end = offset + static_cast<std::size_t>(n) * itemBytes;
         next != frames.end() && next->Offset < end; ++next)
      frame(*next);
  }
}

// The settings block's tables in the order of the bytewise commands' statuses: the
// taxes (their kinds and rates as one run at the first tax, each name after its tax's
// status), then the discounts, the surcharges and the groups. `frame` gets a frame of
// the block by its offset in it, `name` a tax's number; `wanted` says which bytes of
// the block go.
template <typename TPlanFrame, typename TName>
void PlanFramedTables(TTransferPlan& plan, const TRamMap& map, bool reading, const TWanted& wanted, TPlanFrame frame,
                      TName name) {
  const int taxes = LayoutTaxCount(map);
  for (int t = 1; t <= taxes; ++t) {
    plan.Status(Numbered(reading ? ReadingTax : WritingTax, t));
    plan.Pump();
    if (t == 1) {
      for (const TFrame& run : FramesOver(ImageTaxKindOffset, SettingsBlockSize(taxes), wanted)) frame(run);
    }
    name(t);
  }
  const struct {
    const char* Status;
    int Items;
    std::size_t ItemBytes;
    std::size_t Offset;
  } tables[] = {
      {reading ? ReadingDiscount : WritingDiscount, RateCount, RateBytes, ImageDiscountOffset},
      {reading ? ReadingSurcharge : WritingSurcharge, RateCount, RateBytes, ImageSurchargeOffset},
      {reading ? ReadingGroup : WritingGroup, GroupCount, 1, ImageGroupOffset},
  };
  for (const auto& table : tables)
    PlanFramedItems(plan, table.Status, table.Items, table.ItemBytes, table.Offset, wanted, frame);
}

bool Every(std::size_t) { return true; }

TTransferPlan FastReadPlan(const TRamMap& map) {
  TTransferPlan plan;
  plan.Delay(150);
  plan.Display(Reading, OfSettings);
  plan.Pump();
  PlanFramedTables(
      plan, map, true, Every,
      [&](const TFrame& run) {
        plan.ReadRange(static_cast<std::uint16_t>(map.SurchargeTable + run.Offset),
                       static_cast<std::uint8_t>(run.Length));
      },
      [&](int t) {
        const std::uint16_t kind = TaxKindAddress(map, t);
        plan.ReadRangeIf(static_cast<std::uint16_t>(TaxNameAddress(map, t) + TaxNameRecord::NameOffset),
                         TaxNameRecord::NameLength,
                         [t, kind](const TRegisterMemory& memory) { return KindReadsAsOn(t, memory[kind]); });
      });
  PlanReadEnding(plan);
  return plan;
}

// Writing -------------------------------------------------------------------

void PlanTaxWrite(TTransferPlan& plan, const TRamMap& map, const TRegisterForm& form, int t) {
  plan.Status(Numbered(WritingTax, t));
  plan.Pump();
  const SettingsImage& image = form.Image;
  plan.Write(TaxKindAddress(map, t), image[ImageTaxKindOffset + t - 1]);
  // The image holds four zero digits for a tax that is off.
  const std::size_t rate = ImageTaxRateOffset(LayoutTaxCount(map)) + RateBytes * (t - 1);
  for (int i = 0; i < RateBytes; ++i)
    plan.Write(static_cast<std::uint16_t>(TaxRateAddress(map, t) + i), image[rate + i]);
  const std::optional<TaxNameBytes>& name = form.Names[t - 1];
  if (!name) return;  // a tax that is off keeps its name record
  const std::uint16_t record = TaxNameAddress(map, t);
  plan.Write(record, TaxNameRecord::Marker);
  for (int i = 0; i < TaxNameRecord::NameLength; ++i) {
    plan.Pump();
    plan.Write(static_cast<std::uint16_t>(record + TaxNameRecord::NameOffset + i), (*name)[i]);
  }
}

void PlanRateWrites(TTransferPlan& plan, std::uint16_t (*address)(const TRamMap&, int), const TRamMap& map,
                    const SettingsImage& image, std::size_t offset, const char* status) {
  for (int n = 1; n <= RateCount; ++n) {
    plan.Status(Numbered(status, n));
    plan.Pump();
    for (int i = 0; i < RateBytes; ++i)
      plan.Write(static_cast<std::uint16_t>(address(map, n) + i), image[offset + RateBytes * (n - 1) + i]);
  }
}

void PlanBytewiseTables(TTransferPlan& plan, const TRamMap& map, const TRegisterForm& form) {
  const SettingsImage& image = form.Image;
  plan.Display(Writing, OfTaxes);
  for (int t = 1; t <= LayoutTaxCount(map); ++t) PlanTaxWrite(plan, map, form, t);
  plan.Display(Writing, OfDiscounts);
  PlanRateWrites(plan, DiscountAddress, map, image, ImageDiscountOffset, WritingDiscount);
  plan.Display(Writing, OfSurcharges);
  PlanRateWrites(plan, SurchargeAddress, map, image, ImageSurchargeOffset, WritingSurcharge);
  plan.Delay(150);
  plan.Display(Writing, OfGroups);
  for (int g = 1; g <= GroupCount; ++g) {
    plan.Status(Numbered(WritingGroup, g));
    plan.Pump();
    plan.Write(GroupAddress(map, g), image[ImageGroupOffset + g - 1]);
  }
}

// The name record of a tax that is on: its marker and the 16 name bytes, one run.
std::vector<std::uint8_t> NameRecordBytes(const TaxNameBytes& name) {
  std::vector<std::uint8_t> record(TaxNameRecord::NameOffset + name.size());
  record.front() = TaxNameRecord::Marker;
  std::copy(name.begin(), name.end(), record.begin() + TaxNameRecord::NameOffset);
  return record;
}

std::vector<std::uint8_t> BytesOf(const std::vector<std::uint8_t>& bytes, const TFrame& run) {
  const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(run.Offset);
  return {first, first + static_cast<std::ptrdiff_t>(run.Length)};
}

// A byte goes unless the register holds it already; the pre-read does not read a name
// record's marker, which always goes.
TWanted Differs(const std::vector<std::uint8_t>& bytes, std::uint16_t address, const TRegisterMemory* held,
                std::size_t known = 0) {
  return [&bytes, address, held, known](std::size_t offset) {
    return held == nullptr || offset < known || bytes[offset] != (*held)[(address + offset) & 0xFFFF];
  };
}

void PlanFastTables(TTransferPlan& plan, const TRamMap& map, const TRegisterForm& form, const TRegisterMemory* held) {
  plan.Display(Writing, OfSettings);
  const SettingsImage& image = form.Image;
  PlanFramedTables(
      plan, map, false, Differs(image, map.SurchargeTable, held),
      [&](const TFrame& run) {
        plan.WriteRange(static_cast<std::uint16_t>(map.SurchargeTable + run.Offset), BytesOf(image, run));
      },
      [&](int t) {
        const std::optional<TaxNameBytes>& name = form.Names[t - 1];
        if (!name) return;  // a tax that is off keeps its name record
        const std::vector<std::uint8_t> record = NameRecordBytes(*name);
        const std::uint16_t address = TaxNameAddress(map, t);
        for (const TFrame& run :
             FramesOver(0, record.size(), Differs(record, address, held, TaxNameRecord::NameOffset)))
          plan.WriteRange(static_cast<std::uint16_t>(address + run.Offset), BytesOf(record, run));
      });
}

// The two checksums and the four blocks, after the tables in either way.
void PlanChecksumsAndBlocks(TTransferPlan& plan, const TFirmware& firmware, const SettingsImage& image) {
  plan.Delay(50);
  plan.Write(firmware.Map.SettingsChecksum, image.back());
  plan.Delay(50);
  plan.Write(firmware.Map.SettingsChecksumCopy, image.back());
  const std::vector<TImagePiece> pieces = SettingsImagePieces(image.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(pieces[i].Offset);
    plan.WriteBlock(pieces[i].Address,
                    std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(pieces[i].Count)),
                    firmware.Handshake);
    if (i + 1 < pieces.size()) plan.Delay(200);
  }
}

}  // namespace

TTransferPlan ReadPlan(const TRamMap& map, TTransferWay way) {
  return way == TTransferWay::Fast ? FastReadPlan(map) : BytewiseReadPlan(map);
}

TTransferPlan WritePlan(const TFirmware& firmware, const TRegisterForm& form, TTransferWay way,
                        const TRegisterMemory* held) {
  TTransferPlan plan;
  // The window keeps repainting while the image is worked out, row by row of the
  // tables it holds.
  for (int row = 0; row < 2 * RateCount + GroupCount; ++row) plan.Pump();
  plan.Delay(150);
  if (way == TTransferWay::Fast) {
    PlanFastTables(plan, firmware.Map, form, held);
  } else {
    PlanBytewiseTables(plan, firmware.Map, form);
  }
  PlanChecksumsAndBlocks(plan, firmware, form.Image);
  return plan;
}

TTransferPlan PurchaseCheckPlan(const TRamMap& map) {
  TTransferPlan plan;
  plan.Read(map.PurchaseCounter);
  plan.Read(static_cast<std::uint16_t>(map.PurchaseCounter + 1));
  return plan;
}

TTransferPlan WriteEndingPlan() {
  TTransferPlan plan;
  plan.Status(WritingDone);
  plan.Display(WritingDone, "");
  plan.Delay(600);
  plan.RestoreDisplay();
  return plan;
}

TTransferPlan RestoreDisplayPlan() {
  TTransferPlan plan;
  plan.RestoreDisplay();
  return plan;
}
