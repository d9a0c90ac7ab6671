// SPDX-License-Identifier: MIT
// One conversion run on a thread of its own, so the window keeps painting while it runs.
#pragma once

#include <QObject>
#include <atomic>
#include <mutex>

#include "site/conversion.h"

class QThread;

namespace trevanto::ui {

class ConversionJob : public QObject {
  Q_OBJECT

 public:
  // The request's own progress and stop callbacks, if any, are called besides the job's.
  explicit ConversionJob(site::RunRequest request);
  // Asks the run to stop and waits for it.
  ~ConversionJob() override;

  void start();
  // The run stops before its next shortcut; everything written so far stays whole.
  void requestStop() { stop_ = true; }
  site::RunProgress progress() const;
  // The report, once finished() has been emitted.
  site::RunReport takeReport();

 signals:
  void finished();

 private:
  site::RunRequest request_;
  QThread* thread_ = nullptr;
  std::atomic<bool> stop_ = false;
  mutable std::mutex mutex_;
  site::RunProgress progress_;
  site::RunReport report_;
};

}  // namespace trevanto::ui
