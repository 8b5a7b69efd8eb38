#include "app/Program.h"

#include <QApplication>
#include <utility>

#include "app/MainUnit.h"
#include "app/Pictures.h"
#include "ui/ApplicationTitle.h"
#include "ui/QtTranslation.h"
#include "ui/QtUserMessages.h"

int RunProgram(int argc, char** argv, TPortSystem ports, bool demo) {
  QApplication application(argc, argv);
  const QString title = QString::fromUtf8(ApplicationTitle);
  QApplication::setApplicationName(title);
  InstallQtTranslation(application);
  QApplication::setWindowIcon(ProgramPicture(0));
  TQtUserMessages messages(title);
  TMainForm form(messages, std::move(ports));
  if (demo) form.KeepJournalIn(DefaultJournalFolder(true));
  form.show();
  return QApplication::exec();
}
