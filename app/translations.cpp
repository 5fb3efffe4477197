#include "app/translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace zel::app {

bool InstallQtTranslation(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral(":/translations/qtbase_el.qm"))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

void UseGreekLocale() { QLocale::setDefault(QLocale(QLocale::Greek, QLocale::Greece)); }

}  // namespace zel::app
