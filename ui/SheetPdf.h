#pragma once

#include "settingsfile/SettingsSheet.h"
#include "ui/SheetFile.h"

class QImage;
class QPagedPaintDevice;

// A4, portrait, with the sheet's margins: the PDF's page, and a printer's before its
// dialog lets the user choose another.
void UseSheetPage(QPagedPaintDevice& device);

// Paints the sheet on the device from its first page on, laid out in millimetres and
// points so that a PDF writer and a printer of any resolution give the same pages.
// Returns the pages painted; 0 when painting could not begin. Wants a QGuiApplication.
int PaintSheet(QPagedPaintDevice& device, const TSettingsSheet& sheet);

// The first page as a picture at that resolution, white with its margins, as a viewer
// shows it.
QImage SheetFirstPage(const TSettingsSheet& sheet, int dotsPerInch);
