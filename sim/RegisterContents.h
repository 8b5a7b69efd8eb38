#pragma once

#include "document/TKkmSettings.h"
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
