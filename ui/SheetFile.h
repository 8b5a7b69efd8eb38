#pragma once

#include <string>

#include "settingsfile/SettingsSheet.h"

// The customer's sheet as a PDF file, for callers without Qt (the console): A4 pages,
// its fonts inside. Wants no QGuiApplication of the caller's: where there is none, one
// that needs no display lives for the length of the call. The file is replaced as a
// whole or not at all; false with the reason in `error` (for the user) when it could
// not be written.
bool WriteSheetPdf(const TSettingsSheet& sheet, const std::string& fileName, std::string& error);
