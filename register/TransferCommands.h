#pragma once

#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "link/TKkmLink.h"
#include "register/RamList.h"
#include "register/WindowView.h"

// The two transfer commands of the toolbar: the whole document out of the connected
// register, and the whole document into it. Both refuse to run unless the map was
// selected for the connected firmware, report every field they change through
// Changed(), and leave the toolbar and pages enabled through SetAll on every exit
// once they have disabled them. Any failed exchange with the register ends them as
// a lost link: its box, "Нет связи с ККМ", SetAll, ButtonDisabled.

// True when every setting was read.
bool ReadSettingsFromKkm(TKkmLink& link, const TRamMap& map, TKkmSettings& settings, TWindowView& view);

// True when everything was written. Nothing is sent when a rule refuses a field,
// when the user does not confirm, or when a group field holds no fit number; the
// register keeps its settings when it still holds purchases.
bool WriteSettingsToKkm(TKkmLink& link, const TRamMap& map, TKkmSettings& settings, TWindowView& view,
                        TRuleView& rules);
