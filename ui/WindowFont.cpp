#include "ui/WindowFont.h"

#include <QFont>

QString WindowFontFamily() {
#ifdef _WIN32
  const QString family = QStringLiteral("Microsoft Sans Serif");
#else
  const QString family = QStringLiteral("MS Sans Serif");
#endif
  static const bool substituted = [&] {
    QFont::insertSubstitution(family, QStringLiteral("Liberation Sans"));
    return true;
  }();
  (void)substituted;
  return family;
}
