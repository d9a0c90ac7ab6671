// SPDX-License-Identifier: MIT
#include "settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace trevanto::ui {
namespace {

const QString kGroup = QStringLiteral("Load Defaults");

// Why the file cannot be written, as the system says it.
QString writeFailureReason(const QString& fileName) {
  const QFileInfo folder(QFileInfo(fileName).absolutePath());
  if (folder.exists() && !folder.isDir()) return QStringLiteral("на месте папки настроек лежит файл");
  if (!QDir().mkpath(folder.absoluteFilePath())) return QStringLiteral("не удалось создать папку настроек");
  QSaveFile probe(fileName);
  if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
  probe.cancelWriting();
  return QStringLiteral("файл не удалось записать");
}

}  // namespace

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trevanto"),
                                            QStringLiteral("Config"))) {
  settings_->setAtomicSyncRequired(true);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(const QString& key, const QString& defaultValue) const {
  settings_->beginGroup(kGroup);
  QString value = defaultValue;
  const QString stored = key.toUpper();
  if (settings_->contains(stored)) {
    value = settings_->value(stored).toString();
  } else {
    // An entry put in by hand may be spelled in any case.
    for (const QString& candidate : settings_->childKeys()) {
      if (candidate.compare(key, Qt::CaseInsensitive) == 0) {
        value = settings_->value(candidate).toString();
        break;
      }
    }
  }
  settings_->endGroup();
  return value;
}

void SettingsStore::write(const QString& key, const QString& value) {
  settings_->beginGroup(kGroup);
  settings_->setValue(key.toUpper(), value);
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
