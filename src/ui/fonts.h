// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>

namespace trevanto::ui {

// Arial at a size in points, as the window layouts name their fonts.
inline QFont arial(qreal pointSize, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

}  // namespace trevanto::ui
