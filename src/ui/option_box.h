// SPDX-License-Identifier: MIT
// A check box whose caption wraps inside the box, with the three states of an option:
// 0 clear, 1 set, 2 grayed. A click sets or clears it; only code shows it grayed.
#pragma once

#include <QCheckBox>

namespace trevanto::ui {

// The caption as the box draws it: a closing "!" set off by a blank stays on its word's line, so
// that a caption wrapped in a narrower box (another style's wider mark, another font) never puts
// it alone on a line below the box, where it would be cut off.
QString captionAsDrawn(const QString& text);

class OptionBox : public QCheckBox {
 public:
  explicit OptionBox(const QString& text, QWidget* parent = nullptr);

  int Value() const;
  void setValue(int value);  // 0, 1 or 2

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& position) const override;
  void nextCheckState() override;
};

}  // namespace trevanto::ui
