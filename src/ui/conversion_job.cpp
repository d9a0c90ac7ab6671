// SPDX-License-Identifier: MIT
#include "conversion_job.h"

#include <QThread>

namespace trevanto::ui {

ConversionJob::ConversionJob(site::RunRequest request) : request_(std::move(request)) {
  // The request's own callbacks, if any, run besides the job's.
  request_.onProgress = [this, also = std::move(request_.onProgress)](const site::RunProgress& progress) {
    {
      const std::lock_guard lock(mutex_);
      progress_ = progress;
    }
    if (also) also(progress);
  };
  request_.stopRequested = [this, also = std::move(request_.stopRequested)] {
    return stop_.load() || (also && also());
  };
}

ConversionJob::~ConversionJob() {
  if (thread_ != nullptr) {
    requestStop();
    thread_->wait();
    delete thread_;
  }
}

void ConversionJob::start() {
  thread_ = QThread::create([this] {
    site::RunReport report;
    try {
      report = site::runConversion(request_);
    } catch (const std::exception& failure) {
      report.error = failure.what();
    } catch (...) {
      report.error = "Преобразование прервано неизвестной ошибкой";
    }
    const std::lock_guard lock(mutex_);
    report_ = std::move(report);
  });
  // Emitted by the run's thread, delivered on the window's.
  connect(thread_, &QThread::finished, this, &ConversionJob::finished, Qt::QueuedConnection);
  thread_->start();
}

site::RunProgress ConversionJob::progress() const {
  const std::lock_guard lock(mutex_);
  return progress_;
}

site::RunReport ConversionJob::takeReport() {
  const std::lock_guard lock(mutex_);
  return std::move(report_);
}

}  // namespace trevanto::ui
