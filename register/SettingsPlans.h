#pragma once

#include "register/Firmware.h"
#include "register/RegisterForm.h"
#include "register/TransferPlan.h"

// The plans of the read and the write, in either way of exchanging the settings.

enum class TTransferWay {
  // Frames of up to MaxRangeRead bytes (command 6 to read, command 5 to write), with one
  // display exchange before the tables: the status texts of the tables' items stay in
  // their order, each standing while its part is exchanged.
  Fast,
  // A byte an exchange and a display exchange a table, frame for frame the traffic the
  // register's own settings program has always had.
  Bytewise,
};

// The read of every setting, ending with "Чтение OK!" and the display given back. A tax
// whose kind byte reads as off has its rate read (fast) or not (bytewise), its name not.
TTransferPlan ReadPlan(const TRamMap& map, TTransferWay way);
// The write of the tables, then the two checksums and the four blocks, which are the
// same in either way. Fast, the tables' bytes are among those the bytewise write writes,
// each once: all of them, or with the register's memory as a pre-read found it (`held`),
// the runs that differ from it, and what lies between two such in one frame.
TTransferPlan WritePlan(const TFirmware& firmware, const TRegisterForm& form, TTransferWay way,
                        const TRegisterMemory* held = nullptr);
// The purchase counter's two bytes.
TTransferPlan PurchaseCheckPlan(const TRamMap& map);
// The ending of a write that the register has taken: "Запись OK!", then the display
// given back.
TTransferPlan WriteEndingPlan();
TTransferPlan RestoreDisplayPlan();
