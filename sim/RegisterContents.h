#pragma once

#include <string>

#include "document/TKkmSettings.h"
#include "link/TKkmLink.h"
#include "register/Firmware.h"
#include "sim/SimulatedRegister.h"

// What a register holds in its settings tables, put there as the register's own
// firmware keeps it: the records at the addresses of its version's map, the settings
// checksum and its copy. Every tax the layout has room for gets its name record, as a
// register programmed at its own keyboard has them. Does nothing for a version without
// a map or for settings that have no register form.
void ProgramSettings(TSimulatedRegister& kkm, const TKkmSettings& settings);

// Every field filled and all four taxes on, so that a read and a write do all their
// work.
TKkmSettings FullSettings();

// Settings such as a register in use holds: two taxes, a few discounts and a
// surcharge, some groups bound.
TKkmSettings InUseSettings();

// The connection of a link that a test or the bench has set to a simulated register by
// hand (UseRegister), as connecting would have made it. Only code that simulates the
// register has it: the program's connection is made by connecting alone.
TKkmConnection ConnectionOf(const TKkmLink& link, std::string device = {});
