// SPDX-License-Identifier: MIT
// The three list controls of the main window: a drive list, a folder list and a file list
// that is never shown. They list folders and files in the engine's one order, and report a
// change through a plain callback that runs before the write returns, so a handler may write
// the list again and the failure of a nested step reaches the code that started it.
//
// Writes from code throw trevanto::base::FileError (a message naming the folder and the
// reason) and leave the list where it got to. What the user does is reported in a message box;
// a folder list whose folder has gone then moves up to the nearest folder that still exists.
#pragma once

#include <QComboBox>
#include <QHash>
#include <QListWidget>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <vector>

namespace trevanto::ui {

// QString paths to and from the bytes the file system holds.
std::filesystem::path toFsPath(const QString& path);
QString fromFsPath(const std::filesystem::path& path);

class DriveList : public QComboBox {
 public:
  explicit DriveList(QWidget* parent = nullptr);

  // The designation of the selected drive: its mount point.
  QString Drive() const;
  // Selects the drive text names (its designation, or another spelling of its letter); a drive
  // not there now throws. Selecting another drive runs onChange.
  void setDrive(const QString& text);
  // Reads the mounted volumes anew; the selected drive stays selected.
  void Refresh();

  // Opening the list reads the volumes anew.
  void showPopup() override;

  std::function<void()> onChange;

 private:
  void fill(const QString& selected);
  void userChoseIndex();

  bool filling_ = false;
};

class FolderList : public QListWidget {
 public:
  explicit FolderList(QWidget* parent = nullptr);

  // The folder shown.
  QString Path() const;
  const std::filesystem::path& folder() const { return shown_; }
  // Shows the folder; runs onChange when, and only when, the folder shown changes. Writing
  // the folder already shown reads its subfolders anew.
  void setPath(const QString& path);
  // Shows the folder last shown on the drive (its mount point when none was), so writing the
  // drive the shown folder lies on leaves it where it is.
  void setPathToDrive(const QString& designation);

  // The subfolders of the folder shown, as full paths, in name order.
  int ListCount() const;
  QString List(int index) const;

  std::function<void()> onChange;  // the folder shown changed
  std::function<void()> onClick;   // the user clicked an entry

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void setFolder(const std::filesystem::path& path);
  void showFolder(const std::filesystem::path& folder, std::vector<std::string> subfolders);
  void rebuild();
  void userOpens(QListWidgetItem* item);
  void userClicks();
  void userAction(const std::function<void()>& action);

  std::filesystem::path shown_;
  std::vector<std::string> subfolders_;
  QHash<QString, QString> lastShownOnDrive_;
};

// Never shown: counts and lists the files of a folder.
class FileList : public QWidget {
 public:
  explicit FileList(QWidget* parent = nullptr);

  QString Path() const { return path_; }
  void setPath(const QString& path) { path_ = path; }
  // "*.url" lists shortcut files only; any other pattern lists every file.
  void setPattern(const QString& pattern) { pattern_ = pattern; }
  // Reads the folder anew; throws when it cannot be read.
  void Refresh();
  int ListCount() const { return static_cast<int>(names_.size()); }
  QString List(int index) const;

 private:
  QString path_;
  QString pattern_;
  std::vector<std::string> names_;
};

}  // namespace trevanto::ui
