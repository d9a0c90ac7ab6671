// SPDX-License-Identifier: MIT
#include "run_controller.h"

#include <QTimer>
#include <QWidget>
#include <utility>

#include "conversion_job.h"
#include "progress_window.h"

namespace trevanto::ui {

RunController::RunController(QWidget* window) : QObject(window), window_(window) {
  setObjectName(QStringLiteral("Run"));
  progressDelayTimer_ = new QTimer(this);
  progressDelayTimer_->setSingleShot(true);
  connect(progressDelayTimer_, &QTimer::timeout, this, &RunController::showProgress);
  progressTicker_ = new QTimer(this);
  progressTicker_->setInterval(100);
  connect(progressTicker_, &QTimer::timeout, this, [this] {
    if (job_ && progress_) progress_->showProgress(job_->progress());
  });
}

// A job still going is asked to stop and waited for.
RunController::~RunController() = default;

void RunController::setHooks(std::function<void(const site::RunProgress&)> progress, std::function<bool()> stop) {
  progressHook_ = std::move(progress);
  stopHook_ = std::move(stop);
}

bool RunController::start(site::RunRequest request) {
  if (state_ != State::Idle) return false;
  if (progressHook_) request.onProgress = progressHook_;
  if (stopHook_) request.stopRequested = stopHook_;
  job_ = std::make_unique<ConversionJob>(std::move(request));
  // Queued, so the job is no longer emitting when jobReturned() destroys it.
  connect(job_.get(), &ConversionJob::finished, this, &RunController::jobReturned, Qt::QueuedConnection);
  state_ = State::Running;
  job_->start();
  if (progressDelay_ <= 0) {
    showProgress();
  } else {
    progressDelayTimer_->start(progressDelay_);
  }
  return true;
}

bool RunController::takeQueuedStart() { return std::exchange(startQueued_, false); }

void RunController::stop() {
  if (job_) job_->requestStop();
}

RunController::Close RunController::requestClose() {
  switch (state_) {
    case State::Running:
      state_ = State::Closing;
      stop();
      return Close::AfterRun;
    case State::Idle:
    case State::Finishing:
      state_ = State::Closing;
      closeGranted_ = true;
      return Close::Now;
    case State::Closing:
      if (job_) return Close::AfterRun;
      return std::exchange(closeGranted_, true) ? Close::Already : Close::Now;
  }
  return Close::Already;
}

void RunController::showProgress() {
  if (!job_) return;
  if (!progress_) progress_ = std::make_unique<ProgressWindow>([this] { stop(); });
  progress_->showProgress(job_->progress());
  progress_->adjustSize();
  if (window_) progress_->move(window_->frameGeometry().center() - progress_->rect().center());
  progress_->show();
  progressTicker_->start();
}

void RunController::jobReturned() {
  progressDelayTimer_->stop();
  progressTicker_->stop();
  progress_.reset();
  const site::RunReport report = job_->takeReport();
  job_.reset();
  if (state_ == State::Running) state_ = State::Finishing;
  emit finished(report);
  if (state_ == State::Finishing) state_ = State::Idle;
}

}  // namespace trevanto::ui
