#pragma once

#include <QString>

// The family of the windows' own captions, for every window and dialog that sets its
// font. They were laid out for "MS Sans Serif"; on Windows that is a bitmap font of a
// few fixed sizes, which at 125 % and 150 % display scaling draws captions wider than
// their places, so there it is "Microsoft Sans Serif", its TrueType twin of the same
// metrics, which scales. Where the family is missing (Linux, Wine without Windows'
// fonts), Qt is told to take the narrow metric-compatible one instead.
QString WindowFontFamily();

// The width a window needs for its whole title to show in its title bar: the title in
// the system's caption font, the icon and the title bar's buttons; 0 where windows
// have no title bar.
int TitleBarWidth(const QString& title, int buttons);
