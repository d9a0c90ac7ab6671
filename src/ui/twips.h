// SPDX-License-Identifier: MIT
// Window layouts are drawn in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch.
// Qt scales pixels for other densities.
#pragma once

#include <QRect>

namespace trevanto::ui {

constexpr int kTwipsPerPixel = 15;

constexpr int twips(int value) { return value / kTwipsPerPixel; }

inline QRect twipsRect(int left, int top, int width, int height) {
  return {twips(left), twips(top), twips(width), twips(height)};
}

}  // namespace trevanto::ui
