#include "app/Program.h"

#include <QApplication>

#include "app/MainUnit.h"
#include "ui/ApplicationTitle.h"
#include "ui/QtUserMessages.h"

int RunProgram(int argc, char** argv, TProgramKind /*kind*/) {
  QApplication application(argc, argv);
  const QString title = QString::fromUtf8(ApplicationTitle);
  QApplication::setApplicationName(title);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/image0.svg")));
  TQtUserMessages messages(title);
  TMainForm form(messages);
  form.show();
  return QApplication::exec();
}
