#include "register/TransferCommands.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/RateText.h"
#include "document/SettingsChanges.h"
#include "document/SettingsRules.h"
#include "link/KkmConnect.h"
#include "link/KkmFrames.h"
#include "register/FailureBox.h"
#include "register/Firmware.h"
#include "register/PreRead.h"
#include "register/RegisterForm.h"
#include "register/RegisterRecords.h"
#include "register/SettingsPlans.h"
#include "register/TransferPlan.h"

namespace {

const char* const NoFirmwareVersion =
    "В ККМ обнаружена версия ПО ниже 1.0.4.\r\nРекомендуется установить указанную версию.";
const char* const NoInterface = "Не удается установить интерфейс с ККМ";
const char* const PartialWrite = "Запись установок прервана: установки в ККМ записаны не полностью. Повторите запись.";
const char* const ConfirmWrite = "Вы уверены что хотите записать установки в ККМ?";
const char* const NoFourthTax = "В ККМ этой версии нет налога 4: он не будет записан.";
const char* const BackupPlace = "Прежние установки будут сохранены в файл ";
const char* const BackupRefused = "Не удается сохранить прежние установки ККМ в папку ";
const char* const BackupRefusedEnd = ".\r\nЗапись установок отменена: в ККМ ничего не записано.";
const char* const HoldsPurchases = "ККМ содержит покупки.\r\nНеобходимо вывести контрольную ленту.";
const char* const Checking = "Проверка записи";
const char* const NotConfirmed = "Запись не подтверждена";
const char* const NotConfirmedBox = "Запись не подтверждена: ККМ хранит не то, что было записано.";

// Tells the view how the command ended; true when it was done.
bool Ends(TWindowView& view, TCommandEnd end) {
  view.Ended(end);
  return end == TCommandEnd::Done;
}

bool RefuseWithoutMap(TWindowView& view) {
  view.Messages().Show(TMessageKind::Information, NoFirmwareVersion);
  view.ButtonDisabled();
  return Ends(view, TCommandEnd::UnknownFirmware);
}

void StartTransfer(TWindowView& view) {
  view.RepaintToolbar();
  view.DisableToolbarAndPages();
}

// The lost link's box, with the link's reason and `after`, and status; the command's
// exit then gives the window back with read and write off. False, for the command to
// return.
bool LinkFailure(const TKkmLink& link, TWindowView& view, TCommandExit& exit, const std::string& after = {}) {
  // A broken write's box offers to write again.
  const TMessageKind kind = after == PartialWrite ? TMessageKind::BrokenWrite : TMessageKind::Information;
  view.Messages().Show(kind, LinkFailureBox(NoInterface, link.LastFailure(), after));
  view.SetStatus(NoConnectionText);
  exit.LoseLink();
  return Ends(view, after == PartialWrite ? TCommandEnd::BrokenWrite : TCommandEnd::NoAnswer);
}

// The document in the register's form for the map; nothing, with the fault's box,
// when a field has none. Error_Proc has brought every rate into form before, so the
// fault is a group field's, and its cell is brought into view.
std::optional<TRegisterForm> RegisterFormFor(const TKkmSettings& settings, const TRamMap& map, TWindowView& view) {
  TRegisterConversion conversion = ConvertForRegister(settings, LayoutTaxCount(map));
  if (const std::optional<TFormFault>& fault = conversion.Fault) {
    view.Messages().Show(fault->Kind, fault->Message);
    if (fault->Section == TSection::Groups) view.ShowGroupCell(fault->Index, fault->Field);
  }
  return std::move(conversion.Form);
}

// Writing -------------------------------------------------------------------

// The register's memory as the pre-read leaves it; nothing when an exchange failed.
std::unique_ptr<TRegisterMemory> PreRead(TKkmLink& link, TWindowView& view, const TRamMap& map,
                                         const TKkmSettings& settings) {
  const TTransferPlan plan = PreReadPlan(map, settings);
  TTransferRunner run(link, view, plan.Exchanges());
  if (!run.Run(plan)) return nullptr;
  return std::make_unique<TRegisterMemory>(run.Memory());
}

// The changes as a read would show them: the settings the register holds, against
// those its memory will hold once the write's bytes are stored into it.
TKkmSettings MeantSettings(const TKkmSettings& held, const TRegisterMemory& before, const TTransferPlan& write,
                           const TRamMap& map);

std::string Confirmation(const std::vector<std::string>& changes, const std::string& backupFile) {
  return std::string(ConfirmWrite) + "\r\n\r\n" + ChangeListText(changes) + "\r\n\r\n" + BackupPlace + backupFile;
}

struct TConfirmedWrite {
  TKkmSettings Held;   // what the register holds, as a read would bring it into the document
  TKkmSettings Meant;  // what it will hold once written, read the same way
  std::string BackupFile;
  std::unique_ptr<TRegisterMemory> Before;  // its memory as the pre-read found it
};

// Reads what the write will overwrite and asks the question with the changes listed;
// nothing when the link failed (reported) or the user said no. Ends with the toolbar
// and pages to be given back unless it gives the answer yes.
std::optional<TConfirmedWrite> AskWithChanges(TKkmLink& link, const TKkmConnection& connection,
                                              const TKkmSettings& settings, const TTransferPlan& write,
                                              TWindowView& view, TWriteBackup& backup, TCommandExit& exit,
                                              const TRepeatedWrite* repeat) {
  const TRamMap& map = connection.Firmware->Map;
  StartTransfer(view);
  std::unique_ptr<TRegisterMemory> before = PreRead(link, view, map, settings);
  if (!before) {
    LinkFailure(link, view, exit, repeat ? PartialWrite : "");
    return std::nullopt;
  }
  view.SetStatus("");  // it would say that the pre-read still reads
  TConfirmedWrite confirmed{
      settings, settings,
      repeat ? repeat->Backup : backup.NewFileName(KkmNumberOf(connection.Address), connection.Version), nullptr};
  DecodeSettings(*before, map, confirmed.Held);
  confirmed.Meant = MeantSettings(confirmed.Held, *before, write, map);
  confirmed.Before = std::move(before);
  if (repeat) return confirmed;
  if (!view.Messages().Confirm(Confirmation(SettingsChanges(confirmed.Held, confirmed.Meant), confirmed.BackupFile))) {
    Ends(view, TCommandEnd::Declined);
    return std::nullopt;
  }
  return confirmed;
}

// False, with the box, when the counter the run has read says the register holds purchases.
bool NoPurchases(const TTransferRunner& run, const TRamMap& map, TWindowView& view) {
  const auto low = static_cast<std::uint16_t>(map.PurchaseCounter + 1);
  if (PurchaseCount(run.ByteAt(map.PurchaseCounter), run.ByteAt(low)) == 0) return true;
  view.Messages().Show(TMessageKind::Information, HoldsPurchases);
  return Ends(view, TCommandEnd::Purchases);
}

// False, with a box naming the folder, when the register's settings could not be kept.
bool KeptInBackup(TWriteBackup& backup, const std::string& file, const TKkmSettings& held, TWindowView& view) {
  if (backup.Save(file, held)) return true;
  view.Messages().Show(TMessageKind::Warning, BackupRefused + backup.Folder() + BackupRefusedEnd);
  return Ends(view, TCommandEnd::BackupRefused);
}

// What the write meant: the register's memory as the pre-read found it with the
// write's bytes stored into it, decoded as a read decodes it.
TKkmSettings MeantSettings(const TKkmSettings& held, const TRegisterMemory& before, const TTransferPlan& write,
                           const TRamMap& map) {
  const auto after = std::make_unique<TRegisterMemory>(before);
  StoreWrites(write, *after);
  TKkmSettings meant = held;
  DecodeSettings(*after, map, meant);
  return meant;
}

// The fields a read of the register shows otherwise than the write meant; none when
// it took everything.
std::vector<std::string> Mismatches(const TTransferRunner& run, const TKkmSettings& meant, const TRamMap& map) {
  TKkmSettings held = meant;
  DecodeSettings(run.Memory(), map, held);
  return WriteMismatches(meant, held);
}

struct TWriteAndCheck {
  const TTransferPlan* Write;
  const TTransferPlan* Again;  // the tables a byte at a time, for a fast write the check refutes
  const TTransferPlan* Check;
  const TRegisterMemory* MeantBytes;  // with Again: the memory the fast write means
};

// Writes and reads back: the fields the register holds otherwise than meant (none when
// it took everything), or nothing when the link failed. A register that stored the
// frames otherwise than their bytes, even bytes that no field shows (the rate of a tax
// that is off), gets the tables again a byte at a time, and the check once more.
std::optional<std::vector<std::string>> WrittenAndChecked(TTransferRunner& run, const TWriteAndCheck& plans,
                                                          const TKkmSettings& meant, const TRamMap& map) {
  if (!run.Run(*plans.Write) || !run.Run(*plans.Check)) return std::nullopt;
  std::vector<std::string> mismatches = Mismatches(run, meant, map);
  if (plans.Again == nullptr) return mismatches;
  if (mismatches.empty() && RangesReadAsMeant(*plans.Check, run.Memory(), *plans.MeantBytes)) return mismatches;
  run.AddToTotal(plans.Again->Exchanges() + plans.Check->Exchanges());
  if (!run.Run(*plans.Again) || !run.Run(*plans.Check)) return std::nullopt;
  return Mismatches(run, meant, map);
}

void ShowNotConfirmed(const std::vector<std::string>& mismatches, const std::string& backupFile, TWindowView& view) {
  std::string text = NotConfirmedBox;
  for (const std::string& line : mismatches) text += "\r\n" + line;
  view.Messages().Show(TMessageKind::Error, text + "\r\n" + BackupKept + backupFile);
  view.SetStatus(NotConfirmed);
  view.Ended(TCommandEnd::NotConfirmed);
}

}  // namespace

void TWindowView::ShowComparison(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  Messages().Show(TMessageKind::Information, text);
}

void TWindowView::ShowDifferences(const std::vector<TSettingsChange>& changes) {
  std::vector<std::string> lines;
  for (const TSettingsChange& change : changes) lines.push_back(change.Line());
  ShowComparison(ComparisonLines(lines));
}

bool ReadSettingsFromKkm(TKkmLink& link, const TKkmConnection& connection, TKkmSettings& settings, TWindowView& view,
                         TTransferWay way) {
  if (connection.Firmware == nullptr) return RefuseWithoutMap(view);
  const TRamMap& map = connection.Firmware->Map;
  TCommandExit exit(view);
  StartTransfer(view);
  const TTransferPlan plan = ReadPlan(map, way);
  TTransferRunner run(link, view, plan.Exchanges());
  if (!run.Run(plan)) return LinkFailure(link, view, exit);
  // Only a read that has read everything replaces the document (and so the pages):
  // one that breaks off never mixes two registers' settings.
  DecodeSettings(run.Memory(), map, settings);
  for (const TSection section : {TSection::Taxes, TSection::Discounts, TSection::Surcharges, TSection::Groups})
    settings.Changed(section);
  return Ends(view, TCommandEnd::Done);
}

bool WriteSettingsToKkm(TKkmLink& link, const TKkmConnection& connection, TKkmSettings& settings, TWindowView& view,
                        TRuleView& rules, TWriteBackup& backup, TTransferWay way, const TRepeatedWrite* repeat) {
  if (connection.Firmware == nullptr) return RefuseWithoutMap(view);
  const TRamMap& map = connection.Firmware->Map;
  if (!Error_Proc(settings, rules)) return Ends(view, TCommandEnd::Refused);
  TCommandExit exit(view);
  const std::optional<TRegisterForm> form = RegisterFormFor(settings, map, view);
  if (!form) return Ends(view, TCommandEnd::Refused);
  if (!HasFourthTax(map) && settings.Tax(TaxCount).Enabled) {
    view.Messages().Show(TMessageKind::Information, NoFourthTax);
  }
  const TTransferPlan bytewise = WritePlan(*connection.Firmware, *form, TTransferWay::Bytewise);
  const std::optional<TConfirmedWrite> confirmed =
      AskWithChanges(link, connection, settings, bytewise, view, backup, exit, repeat);
  if (!confirmed) return false;
  // Fast, only what differs from what the pre-read found goes out; the check reads all.
  const TTransferPlan write =
      way == TTransferWay::Fast ? WritePlan(*connection.Firmware, *form, way, confirmed->Before.get()) : bytewise;
  StartTransfer(view);
  const TTransferPlan purchases = PurchaseCheckPlan(map);
  const TTransferPlan verify = PreReadPlan(map, confirmed->Meant, Checking);
  const TTransferPlan ending = WriteEndingPlan();
  TTransferRunner run(link, view, purchases.Exchanges() + write.Exchanges() + verify.Exchanges() + ending.Exchanges());
  // A repeat finds the register holding a part of the broken write before it sends anything.
  const auto broken = [&] { return repeat || run.WroteAny() ? PartialWrite : ""; };
  if (!run.Run(purchases)) return LinkFailure(link, view, exit, broken());
  if (!NoPurchases(run, map, view)) return false;
  if (!repeat && !KeptInBackup(backup, confirmed->BackupFile, confirmed->Held, view)) return false;
  const auto meantBytes = std::make_unique<TRegisterMemory>(*confirmed->Before);
  StoreWrites(write, *meantBytes);
  const std::optional<std::vector<std::string>> mismatches = WrittenAndChecked(
      run, {&write, way == TTransferWay::Fast ? &bytewise : nullptr, &verify, meantBytes.get()}, confirmed->Meant, map);
  // A write that has begun to change the register says that it holds a part of it;
  // so does one whose check could not read it back.
  if (!mismatches) return LinkFailure(link, view, exit, broken());
  if (!mismatches->empty()) {
    ShowNotConfirmed(*mismatches, confirmed->BackupFile, view);
    run.Run(RestoreDisplayPlan());
    return false;
  }
  if (!run.Run(ending)) return LinkFailure(link, view, exit, PartialWrite);
  return Ends(view, TCommandEnd::Done);
}

bool CompareWithKkm(TKkmLink& link, const TKkmConnection& connection, const TKkmSettings& settings, TWindowView& view,
                    TRuleView& rules) {
  if (connection.Firmware == nullptr) return RefuseWithoutMap(view);
  const TRamMap& map = connection.Firmware->Map;
  TKkmSettings document = settings;
  if (!Error_Proc(document, rules)) return Ends(view, TCommandEnd::Refused);
  TCommandExit exit(view);
  const std::optional<TRegisterForm> form = RegisterFormFor(document, map, view);
  if (!form) return Ends(view, TCommandEnd::Refused);
  // What a write would change is the same whichever way it would go.
  const TTransferPlan write = WritePlan(*connection.Firmware, *form, TTransferWay::Bytewise);
  StartTransfer(view);
  const std::unique_ptr<TRegisterMemory> before = PreRead(link, view, map, document);
  if (!before) return LinkFailure(link, view, exit);
  view.SetStatus("");
  TKkmSettings held = document;
  DecodeSettings(*before, map, held);
  view.ShowDifferences(SettingsDifferences(held, MeantSettings(held, *before, write, map)));
  return Ends(view, TCommandEnd::Done);
}
