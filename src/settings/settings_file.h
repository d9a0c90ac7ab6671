// SPDX-License-Identifier: MIT
// The window's settings file: texts under the section "Load Defaults" of the user's
// "Trevanto/Config.ini" ($XDG_CONFIG_HOME, by default ~/.config; on Windows %APPDATA%), in
// QSettings' INI format. Key names are stored in capitals and matched without regard to letter
// case.
#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace trevanto::settings {

inline constexpr char kOrganization[] = "Trevanto";
inline constexpr char kApplication[] = "Config";
inline const QString kGroup = QStringLiteral("Load Defaults");

// Whether each folder below a section becomes a section of its own ("1"; anything else is off),
// for the window, the sync and every program's --settings alike.
inline const QString kNestedSectionsKey = QStringLiteral("NESTED");
bool switchedOn(const QString& storedText);

// The user's settings file, opened (not read yet: QSettings reads on first use).
std::unique_ptr<QSettings> openSettingsFile();

// The text stored under key in kGroup, or defaultValue when there is none. An entry put in by
// hand may be spelled in any letter case; the one in capitals wins.
QString readEntry(QSettings& settings, const QString& key, const QString& defaultValue = {});

}  // namespace trevanto::settings
