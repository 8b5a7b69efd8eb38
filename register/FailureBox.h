#pragma once

#include <string>

#include "link/TKkmLink.h"

// The box that tells the user the link was lost: the command's own first line, then
// "Причина: …" from the link's last failure (left out when it has no reason), then what
// to check, or, when the port was pulled out, to plug it in again; `after` follows when
// the command has more to say.
std::string LinkFailureBox(const std::string& first, const TLinkFailure& failure, const std::string& after = {});
