#pragma once

#include <ctime>
#include <string>

// The local time now, for the backups' names, the journal and the traces.
std::tm LocalTimeNow();

// "2026-12-10 14:03:05".
std::string TimeStampText(const std::tm& time);
