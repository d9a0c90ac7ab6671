// SPDX-License-Identifier: MIT
// A check box whose caption wraps inside the box, with the three states of an option:
// 0 clear, 1 set, 2 grayed. A click sets or clears it; only code shows it grayed.
#pragma once

#include <QCheckBox>

namespace trevanto::ui {

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
