#include "ui/WindowFont.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>

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

// Qt takes the caption font from the system where it can (on Windows, the title bar's
// own); the rest is the room of a Windows 10 or 11 title bar at 100 %. Qt's platforms
// without a screen draw no title bar.
int TitleBarWidth(const QString& title, int buttons) {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return 0;
  constexpr int IconAndMargins = 40;
  constexpr int ButtonWidth = 46;
  const QFontMetrics caption(QApplication::font("QMdiSubWindowTitleBar"));
  return caption.horizontalAdvance(title) + IconAndMargins + buttons * ButtonWidth;
}
