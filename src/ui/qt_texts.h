// SPDX-License-Identifier: MIT
// Qt's own texts (its dialogs' buttons and labels) in Russian, as the rest of the window.
#pragma once

namespace trevanto::ui {

// Installs Qt's Russian translation (Debian's qt6-translations-l10n) into the running
// application; returns false, leaving Qt's texts in English, when the file is not there.
bool installQtTexts();

}  // namespace trevanto::ui
