// SPDX-License-Identifier: MIT
#include "qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace trevanto::ui {

bool installQtTexts() {
  auto* texts = new QTranslator(QCoreApplication::instance());
  if (!texts->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete texts;
    return false;
  }
  return QCoreApplication::installTranslator(texts);
}

}  // namespace trevanto::ui
