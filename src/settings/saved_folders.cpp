// SPDX-License-Identifier: MIT
#include "saved_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "settings_file.h"

namespace trevanto::settings {
namespace {

// A path as the system holds it: UTF-16 on Windows, as QString is; bytes in the locale's
// encoding elsewhere.
std::filesystem::path fsPath(const QString& path) {
#ifdef _WIN32
  return std::filesystem::path(path.toStdWString());
#else
  return QFile::encodeName(path).toStdString();
#endif
}

}  // namespace

SavedFolders savedFolders() {
  SavedFolders folders;
  const std::unique_ptr<QSettings> settings = openSettingsFile();
  folders.file = fsPath(settings->fileName());
  const QString shown =
      QStringLiteral("\u00AB") + QDir::toNativeSeparators(settings->fileName()) + QStringLiteral("\u00BB");
  if (!QFileInfo::exists(settings->fileName())) {
    folders.error = (QStringLiteral("Настройки окна не найдены: ") + shown +
                     QStringLiteral(": откройте trevanto, выберите папки и закройте его кнопкой «Выход»"))
                        .toStdString();
    return folders;
  }
  if (settings->status() != QSettings::NoError) {
    folders.error = (QStringLiteral("Не удалось прочитать настройки окна ") + shown).toStdString();
    return folders;
  }
  const QString source = readEntry(*settings, QStringLiteral("DIR"));
  const QString site = readEntry(*settings, QStringLiteral("DIRS"));
  for (const auto& [key, value] : {std::pair{"DIR", &source}, std::pair{"DIRS", &site}}) {
    if (value->isEmpty()) {
      folders.error = (QStringLiteral("В настройках окна ") + shown + QStringLiteral(" нет папки ") +
                       QString::fromLatin1(key))
                          .toStdString();
      return folders;
    }
  }
  folders.nestedSections = switchedOn(readEntry(*settings, kNestedSectionsKey));
  folders.source = fsPath(source);
  folders.site = fsPath(site);
  return folders;
}

}  // namespace trevanto::settings
