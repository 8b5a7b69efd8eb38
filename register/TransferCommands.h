#pragma once

#include <string>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "link/TKkmLink.h"
#include "register/Firmware.h"
#include "register/SettingsPlans.h"
#include "register/WindowView.h"
#include "register/WriteBackup.h"

// The two transfer commands of the toolbar: the whole document out of the connected
// register, and the whole document into it, at the addresses of the connection's
// firmware. Both refuse to run unless the link is still on that connection, report every field they change through
// Changed(), and leave the toolbar and pages enabled through SetAll on every exit
// once they have disabled them. Any failed exchange with the register ends them as
// a lost link: its box with the link's reason, "Нет связи с ККМ", SetAll, ButtonDisabled.

// A broken write written again: the user has asked for it already, so there is no
// question, and the settings the register held before the first attempt are in that
// attempt's backup, which the repeat names; what the register holds now, half written,
// is no backup and is not kept.
struct TRepeatedWrite {
  std::string Backup;
};

// How a write's boxes name the file that keeps what the register held before it.
inline constexpr const char* BackupKept = "Прежние установки сохранены в файл ";

// True when every setting was read, in the way asked for: the document is the same.
bool ReadSettingsFromKkm(TKkmLink& link, const TKkmConnection& connection, TKkmSettings& settings, TWindowView& view,
                         TTransferWay way);

// True when everything was written. Nothing is sent when a rule refuses a field or a
// group field holds no fit number. Before the confirmation the write reads what it will
// overwrite, and the confirmation lists what changes and names the backup file; nothing
// is written when the user does not confirm, when the register still holds purchases,
// or when the backup of its settings cannot be saved. A fast write whose check finds
// the register holding otherwise writes the tables again a byte at a time and checks
// again; only then is the write not confirmed.
bool WriteSettingsToKkm(TKkmLink& link, const TKkmConnection& connection, TKkmSettings& settings, TWindowView& view,
                        TRuleView& rules, TWriteBackup& backup, TTransferWay way,
                        const TRepeatedWrite* repeat = nullptr);

// Reads what a write would overwrite, as the write does before its question, and shows
// every field that a write of the document would change (ShowComparison); nothing is
// written and the document stays as it is. The rules and the group check run on a
// copy of it, with the write's messages. True when the comparison was shown.
bool CompareWithKkm(TKkmLink& link, const TKkmConnection& connection, const TKkmSettings& settings, TWindowView& view,
                    TRuleView& rules);
