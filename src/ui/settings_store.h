// SPDX-License-Identifier: MIT
// The program's only configuration: texts under section "Load Defaults" of the user's
// "Trevanto/Config.ini" ($XDG_CONFIG_HOME, by default ~/.config; on Windows %APPDATA%). Key
// names are stored in capitals and matched without regard to letter case.
#pragma once

#include <QString>
#include <memory>

#include "settings/settings_file.h"

class QSettings;

namespace trevanto::ui {

class SettingsStore {
 public:
  // The section the entries stand in.
  static inline const QString kGroup = settings::kGroup;

  SettingsStore();
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The stored text, or defaultValue when the entry is absent.
  QString read(const QString& key, const QString& defaultValue = {}) const;
  void write(const QString& key, const QString& value);
  // Writes the file whole (a new file put in place of the old), so a crash never leaves
  // half of it. Returns an empty text, or a message naming the file and the reason.
  QString commit();

  QString fileName() const;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace trevanto::ui
