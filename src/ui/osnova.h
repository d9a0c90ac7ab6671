// SPDX-License-Identifier: MIT
// The main window: the source side (Drive1, Dir, File, Label3) and the site side (Drive2,
// DirS, FileS, Label4), the three options, Start and Exit, and the timer of the automatic
// start. It owns the user's state for the life of the program and hands the engine plain
// folders; the run goes on a thread of its own while the window keeps painting.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "site/conversion.h"

class QAction;
class QLabel;
class QPushButton;
class QTimer;

namespace trevanto::ui {

class DriveList;
class FileList;
class FolderList;
class Form4;
class ImportWindow;
class OptionBox;
class RunController;

class Osnova : public QMainWindow {
  Q_OBJECT

 public:
  explicit Osnova(QWidget* parent = nullptr);
  ~Osnova() override;

  // Applies the stored options, folders and drives; arms Timer1 when Check1 is set.
  void Form_Load();

  // The chains that keep each side's lists and count label in step.
  void Drive1_Change();
  void Dir_Change();
  void Dir_Click();
  void File_Click();
  void Drive2_Change();
  void DirS_Change();
  void DirS_Click();
  void FileS_Click();

  // Start: runs the conversion from Dir into DirS; returns at once, the run ends in runEnded.
  void Command1_Click();
  // Exit: saves the settings and closes both windows.
  void Command2_Click();
  void Timer1_Timer();
  void Ab_Click(int Index);
  // "Импорт": the browsers' bookmarks into the source folder shown in Dir.
  void Imp_Click();
  // Closing the main window (its close box, the system, close()): false while a run has to
  // stop first; the close then completes when the run has returned.
  bool Form_Unload();

  bool isRunning() const;
  // Loading armed the automatic start and the window closes when that run ends.
  bool runsUnattended() const;
  // Where the template pages are; the program's own folder unless a test says otherwise.
  void setProgramFolder(const QString& folder) { programFolder_ = folder; }
  // How long a run goes before the progress window shows.
  void setProgressDelay(int milliseconds);
  // Non-zero when the program closed after a run that failed.
  int exitCode() const { return exitCode_; }

 signals:
  // A run has ended and everything after it (statistics, close) is done.
  void runFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void setupControls();
  void setupMenu();
  void setupTabOrder();
  void wireControls();

  void followDriveOfFolder(DriveList* drive, FolderList* folder);
  void runEnded(const site::RunReport& report);
  bool mayClose();
  void setInputBlocked(bool blocked);
  void saveSettings();
  void closeAbout();
  void closeImport();

  DriveList* Drive1 = nullptr;
  DriveList* Drive2 = nullptr;
  FolderList* Dir = nullptr;
  FolderList* DirS = nullptr;
  FileList* File = nullptr;
  FileList* FileS = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  OptionBox* Check1 = nullptr;
  OptionBox* Check2 = nullptr;
  OptionBox* Check3 = nullptr;
  QAction* Nested = nullptr;  // deeper folders become sections of their own
  QTimer* Timer1 = nullptr;
  QPointer<Form4> form4_;
  QPointer<ImportWindow> import_;

  QString programFolder_;
  RunController* run_ = nullptr;
  QPointer<QWidget> focusBeforeRun_;
  int exitCode_ = 0;
};

}  // namespace trevanto::ui
