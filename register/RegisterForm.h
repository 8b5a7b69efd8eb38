#pragma once

#include <array>
#include <optional>
#include <string>

#include "document/TKkmSettings.h"
#include "document/UserMessages.h"
#include "register/RegisterRecords.h"

// The one conversion of the document into what a write sends: the settings image and
// the name bytes of every tax that is written with its name; or the first field that
// has no register form, with the box the user is shown for it.

struct TRegisterForm {
  SettingsImage Image;
  // The name of each tax that is on and that the layout has room for; nothing for the others.
  std::array<std::optional<TaxNameBytes>, TaxCount> Names{};
};

// A field of the document that the register cannot take. Index is the number of the
// tax, rate or group, from 1.
struct TFormFault {
  TSection Section;
  int Index;
  TGroupField Field;  // for groups only
  TMessageKind Kind;
  std::string Message;

  bool operator==(const TFormFault&) const = default;
};

struct TRegisterConversion {
  std::optional<TRegisterForm> Form;  // exactly when there is no fault
  std::optional<TFormFault> Fault;
};

// The form for a layout with room for taxCount taxes; taxes beyond it are not in it.
// Fields are checked in image order: surcharges, discounts, groups, then the taxes that
// are on. A rate must be five characters with digits at positions 1, 2, 4 and 5, and
// gets its list's warning otherwise. A group field must be empty or a number the group
// page takes: a number beyond that range gets the page's range message, any other text
// "'<text>' is not a valid integer value".
TRegisterConversion ConvertForRegister(const TKkmSettings& settings, int taxCount);
