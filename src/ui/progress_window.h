// SPDX-License-Identifier: MIT
// Shown while a long run goes on: shortcuts done of the total, the section at hand, and a
// button that stops the run between two shortcuts.
#pragma once

#include <QWidget>
#include <functional>

#include "site/conversion.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace trevanto::ui {

class ProgressWindow : public QWidget {
 public:
  explicit ProgressWindow(std::function<void()> stop);

  void showProgress(const site::RunProgress& progress);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void stop();

  std::function<void()> stop_;
  QLabel* section_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* stopButton_ = nullptr;
};

}  // namespace trevanto::ui
