// SPDX-License-Identifier: MIT
#include "progress_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "program.h"

namespace trevanto::ui {

constexpr int kTextWidth = 320;

ProgressWindow::ProgressWindow(std::function<void()> stop) : QWidget(nullptr, Qt::Dialog), stop_(std::move(stop)) {
  setObjectName(QStringLiteral("Progress"));
  setWindowTitle(QString::fromLatin1(kProgramName));
  section_ = new QLabel(this);
  section_->setObjectName(QStringLiteral("ProgressSection"));
  section_->setTextFormat(Qt::PlainText);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("ProgressCount"));
  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  stopButton_ = new QPushButton(QStringLiteral("Остановить"), this);
  stopButton_->setObjectName(QStringLiteral("ProgressStop"));
  connect(stopButton_, &QPushButton::clicked, this, &ProgressWindow::stop);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(section_);
  layout->addWidget(count_);
  layout->addWidget(bar_);
  layout->addWidget(stopButton_, 0, Qt::AlignRight);
  setFixedWidth(kTextWidth + 40);
  showProgress({});
}

void ProgressWindow::showProgress(const site::RunProgress& progress) {
  const QString prefix = QStringLiteral("Раздел: ");
  const QFontMetrics metrics = section_->fontMetrics();
  const int room = kTextWidth - metrics.horizontalAdvance(prefix);
  section_->setText(prefix + metrics.elidedText(QString::fromStdString(progress.section), Qt::ElideMiddle, room));
  count_->setText(QStringLiteral("Обработано ярлыков: %1 из %2").arg(progress.done).arg(progress.total));
  // The bar counts in thousandths, so totals past the range of int still fit.
  bar_->setRange(0, 1000);
  bar_->setValue(progress.total > 0 ? static_cast<int>(progress.done * 1000 / progress.total) : 0);
}

void ProgressWindow::stop() {
  stopButton_->setEnabled(false);
  stopButton_->setText(QStringLiteral("Останавливается..."));
  if (stop_) stop_();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  // Closing it asks the run to stop; it goes away when the run has.
  event->ignore();
  stop();
}

}  // namespace trevanto::ui
