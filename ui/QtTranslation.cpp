#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace {

QString TranslationFolder() {
#ifdef _WIN32
  return QStringLiteral(":/translations");
#else
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}

}  // namespace

bool InstallQtTranslation(QCoreApplication& application) {
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  QLocale::setDefault(russian);  // dates and sizes in the file dialogs
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), TranslationFolder())) return false;
  translator->setParent(&application);
  return QCoreApplication::installTranslator(translator.release());
}
