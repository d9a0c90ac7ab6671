// SPDX-License-Identifier: MIT
// The About window: the program's name and version and where to find its author. It holds
// no state; while it is open the main window takes no input.
#pragma once

#include <QPointer>
#include <QWidget>

#include "program.h"

class QLabel;
class QPushButton;

namespace trevanto::ui {

class Form4 : public QWidget {
 public:
  // Owned by mainWindow's window (shown above it, never minimised alone); closing it in any way
  // enables mainWindow again and destroys it.
  explicit Form4(QWidget* mainWindow);

  void Command1_Click();
  // Raises and activates it, back from minimised if it was.
  void bringToFront();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPointer<QWidget> mainWindow_;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* Command1 = nullptr;
};

}  // namespace trevanto::ui
