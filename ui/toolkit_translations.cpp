#include "ui/toolkit_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>

namespace ui {
namespace {

// The catalogs of the toolkit's texts: "qt" gathers the widgets' own ones (qtbase and the
// modules beside it), the web engine keeps its own.
constexpr const char* kCatalogs[] = {"qt", "qtwebengine"};
constexpr char kTranslatorName[] = "toolkit_translation";

}  // namespace

bool install_toolkit_translations(const QLocale& locale) {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) return false;
  for (QTranslator* earlier : application->findChildren<QTranslator*>(
           QLatin1String(kTranslatorName), Qt::FindDirectChildrenOnly)) {
    QCoreApplication::removeTranslator(earlier);
    delete earlier;
  }
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  bool found = false;
  for (const char* catalog : kCatalogs) {
    auto* translator = new QTranslator(application);
    translator->setObjectName(QLatin1String(kTranslatorName));
    if (translator->load(locale, QLatin1String(catalog), QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator)) {
      found = true;
    } else {
      delete translator;
    }
  }
  return found;
}

}  // namespace ui
