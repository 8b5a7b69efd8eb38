#include "app/Program.h"

#include <QApplication>
#include <optional>

#include "app/DemoRegisters.h"
#include "app/MainUnit.h"
#include "ui/ApplicationTitle.h"
#include "ui/QtUserMessages.h"

int RunProgram(int argc, char** argv, TProgramKind kind) {
  QApplication application(argc, argv);
  const QString title = QString::fromUtf8(ApplicationTitle);
  QApplication::setApplicationName(title);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/image0.svg")));
  TQtUserMessages messages(title);
  std::optional<TDemoRegisters> demo;
  if (kind == TProgramKind::Demo) demo.emplace();
  TMainForm form(messages, demo ? demo->Opener() : OpenSerialPort);
  form.show();
  return QApplication::exec();
}
