// SPDX-License-Identifier: MIT
#include "settings_file.h"

#include <QSettings>

namespace trevanto::settings {

std::unique_ptr<QSettings> openSettingsFile() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kOrganization),
                                     QString::fromLatin1(kApplication));
}

QString readEntry(QSettings& settings, const QString& key, const QString& defaultValue) {
  settings.beginGroup(kGroup);
  QString value = defaultValue;
  const QString stored = key.toUpper();
  if (settings.contains(stored)) {
    value = settings.value(stored).toString();
  } else {
    for (const QString& candidate : settings.childKeys()) {
      if (candidate.compare(key, Qt::CaseInsensitive) == 0) {
        value = settings.value(candidate).toString();
        break;
      }
    }
  }
  settings.endGroup();
  return value;
}

bool switchedOn(const QString& storedText) { return storedText.trimmed() == QStringLiteral("1"); }

}  // namespace trevanto::settings
