#pragma once

#include <ctime>
#include <string>

#include "document/RegisterOrigin.h"
#include "document/UserMessages.h"
#include "register/Firmware.h"

// The register a command has just read from or written to, at `when`, as a settings
// file names it: "37", "1.0.4", "2026-12-10 14:03", "COM7".
TRegisterOrigin RegisterOriginOf(const TKkmConnection& connection, const std::tm& when);

// Whether the document came from a register with another number than the one
// connected. A number the file does not tell as one names no register.
bool NamesOtherRegister(const TDocumentOrigin& origin, const TKkmConnection& connection);

// "Установки прочитаны из ККМ № 37, а подключена ККМ № 05."
std::string OtherRegisterText(const TRegisterOrigin& origin, const TKkmConnection& connection);

// Before a write: the question for a document of another register, "… Записать их в
// ККМ № 05?"; true when there is none to ask or the answer is yes.
bool ConfirmOtherRegister(const TDocumentOrigin& origin, const TKkmConnection& connection, TUserMessages& messages);
