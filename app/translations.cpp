#include "app/translations.h"

#include <QCoreApplication>
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

}  // namespace zel::app
