#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
  auto* translator = new QTranslator(&application);
  if (!translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), TranslationFolder())) {
    delete translator;
    return false;
  }
  QLocale::setDefault(russian);
  return QCoreApplication::installTranslator(translator);
}
