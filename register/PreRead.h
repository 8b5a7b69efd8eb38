#pragma once

#include "document/TKkmSettings.h"
#include "register/RamList.h"
#include "register/TransferPlan.h"

// Before a write changes the register, it reads what the write will overwrite, as fast
// as the line allows: ranges of up to MaxRangeRead bytes over the tables as they lie in
// the map (the settings block from the surcharges to the tax rates, then the names),
// each range with a pump before it. The display is not touched.

inline constexpr const char* PreReadStatus = "Чтение установок ККМ";

// The tax kinds and rates, discounts, surcharges and groups of the layout, and the
// name of every tax that is on in the document or reads as on in the register: a name
// the write will overwrite, or one that must come back when the old settings are
// written again.
// The status line says `status` meanwhile.
TTransferPlan PreReadPlan(const TRamMap& map, const TKkmSettings& document, const char* status = PreReadStatus);
