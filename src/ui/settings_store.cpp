// SPDX-License-Identifier: MIT
#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/file_error.h"
#include "base/files.h"
#include "base/process.h"
#include "list_controls.h"
#include "settings/settings_file.h"

namespace trevanto::ui {
namespace {

QString systemText(int errorNumber) { return QString::fromLocal8Bit(base::systemReason(errorNumber)); }

// Why the file cannot be written, as the system says it in the user's language.
QString writeFailureReason(const QString& fileName) {
  const QFileInfo folder(QFileInfo(fileName).absolutePath());
  if (folder.exists() && !folder.isDir()) return QStringLiteral("на месте папки настроек лежит файл");
  std::error_code error;
  std::filesystem::create_directories(toFsPath(folder.absoluteFilePath()), error);
  if (error) return systemText(error.value());
  if (QFileInfo(fileName).isDir()) return systemText(EISDIR);
  // The store is written as a new file beside the old one, then renamed over it.
  const std::filesystem::path probe =
      toFsPath(fileName + QStringLiteral(".") + QString::number(base::currentProcessId()) + QStringLiteral(".probe"));
  base::OpenFile made = base::OpenFile::createNew(probe, error);
  if (made) {
    made.close();
    base::removeFile(probe);
  } else if (error != std::errc::file_exists) {  // one left by a program killed meanwhile says nothing
    return QString::fromLocal8Bit(base::systemReason(error));
  }
  return QStringLiteral("файл не удалось записать");
}

}  // namespace

SettingsStore::SettingsStore() : settings_(settings::openSettingsFile()) {
  settings_->setAtomicSyncRequired(true);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(const QString& key, const QString& defaultValue) const {
  return settings::readEntry(*settings_, key, defaultValue);
}

void SettingsStore::write(const QString& key, const QString& value) {
  settings_->beginGroup(kGroup);
  const QString stored = key.toUpper();
  // One entry per key: the same key in other letter case, put in by hand, would otherwise stay
  // beside it and be read no more. Other keys stay as they are.
  for (const QString& other : settings_->childKeys()) {
    if (other != stored && other.compare(stored, Qt::CaseInsensitive) == 0) settings_->remove(other);
  }
  settings_->setValue(stored, value);
  settings_->endGroup();
}

QString SettingsStore::commit() {
  settings_->sync();
  if (settings_->status() == QSettings::NoError) return {};
  return QStringLiteral("Не удалось сохранить настройки \u00AB%1\u00BB: %2")
      .arg(QDir::toNativeSeparators(fileName()), writeFailureReason(fileName()));
}

QString SettingsStore::fileName() const { return settings_->fileName(); }

}  // namespace trevanto::ui
