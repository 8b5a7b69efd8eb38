#include "app/Program.h"

#include <QApplication>
#include <utility>

#include "app/MainUnit.h"
#include "ui/ApplicationTitle.h"
#include "ui/QtUserMessages.h"

int RunProgram(int argc, char** argv, TPortSystem ports) {
  QApplication application(argc, argv);
  const QString title = QString::fromUtf8(ApplicationTitle);
  QApplication::setApplicationName(title);
  QIcon icon;
  for (const char* size : {"1", "2"}) icon.addFile(QStringLiteral(":/icons/image0@%1x.png").arg(QLatin1String(size)));
  QApplication::setWindowIcon(icon);
  TQtUserMessages messages(title);
  TMainForm form(messages, std::move(ports));
  form.show();
  return QApplication::exec();
}
