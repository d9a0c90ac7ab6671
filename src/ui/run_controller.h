// SPDX-License-Identifier: MIT
// One conversion run at a time, from its start to its report: the job on a thread of its own,
// the progress window shown once the run lasts, the stop, and a close of the program that has
// to wait for the run. The main window asks it what it may do and reacts to finished().
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "site/conversion.h"

class QTimer;
class QWidget;

namespace trevanto::ui {

class ConversionJob;
class ProgressWindow;

class RunController : public QObject {
  Q_OBJECT

 public:
  // Idle: no run. Running: the job goes. Finishing: the job has returned and finished() is
  // being handled. Closing: the program closes; a job still going has been asked to stop and
  // the close completes when it has returned; no run starts any more.
  enum class State { Idle, Running, Finishing, Closing };
  // The answer to a close: close now (the first time: save first), close once the run has
  // returned, or the close is already under way.
  enum class Close { Now, AfterRun, Already };

  // window: the progress window is centred over it.
  explicit RunController(QWidget* window);
  ~RunController() override;

  State state() const { return state_; }
  // Starts the run when Idle; false otherwise.
  bool start(site::RunRequest request);
  // A start that fell due while a run goes waits for it: the next takeQueuedStart() says so.
  void queueStart() { startQueued_ = true; }
  bool takeQueuedStart();
  // Stops the run between two shortcuts; everything written so far stays whole.
  void stop();
  Close requestClose();

  // How long a run goes before the progress window shows.
  void setProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }
  // Tests hold a run in place: progress is called on the run's thread before each shortcut,
  // stop is asked before each shortcut besides the stop button.
  void setHooks(std::function<void(const site::RunProgress&)> progress, std::function<bool()> stop);

 signals:
  // The run has returned. Receivers run in state Finishing, or Closing when a close waits.
  void finished(const site::RunReport& report);

 private:
  void showProgress();
  void jobReturned();

  QPointer<QWidget> window_;
  State state_ = State::Idle;
  bool closeGranted_ = false;  // a close has been answered Now
  bool startQueued_ = false;
  std::unique_ptr<ConversionJob> job_;
  std::unique_ptr<ProgressWindow> progress_;
  QTimer* progressDelayTimer_ = nullptr;
  QTimer* progressTicker_ = nullptr;
  int progressDelay_ = 1000;
  std::function<void(const site::RunProgress&)> progressHook_;
  std::function<bool()> stopHook_;
};

}  // namespace trevanto::ui
