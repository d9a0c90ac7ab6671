// SPDX-License-Identifier: MIT
// Helpers for window tests: a temporary tree whose folders A and B stand for two drives
// beside the root, the settings store, and a user's clicks on the list controls.
#pragma once

#include <gtest/gtest.h>

#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <semaphore>

#include "list_controls.h"
#include "osnova.h"
#include "run_controller.h"
#include "test_support.h"

// Failures print texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace trevanto::uitest {

namespace fs = std::filesystem;

inline QString qs(const fs::path& path) { return ui::fromFsPath(path); }

template <typename T>
T* child(const QObject* parent, const char* name) {
  T* found = parent->findChild<T*>(QLatin1String(name));
  if (found == nullptr) ADD_FAILURE() << "no child named " << name;
  return found;
}

// The settings store the program reads and writes, under the tests' own configuration folder.
QString settingsFile();
void removeSettings();
void writeSettings(const std::map<QString, QString>& entries);
std::map<QString, QString> readSettings();

// What a user does with a folder list: a single click, or opening with a double click.
void clickEntry(ui::FolderList* list, const QString& text);
void openEntry(ui::FolderList* list, const QString& text);
void chooseDrive(ui::DriveList* list, const QString& designation);

// Holds the window's next run before its first shortcut, on the run's own thread, until
// released (at the latest when it goes): what happens meanwhile does not depend on timing.
class HeldRun {
 public:
  explicit HeldRun(ui::Osnova* window);
  HeldRun(const HeldRun&) = delete;
  HeldRun& operator=(const HeldRun&) = delete;
  ~HeldRun();

  // True once the run waits; the window's events are handled meanwhile.
  bool waitUntilHeld();
  void release();

 private:
  // Shared with the run, which may outlast this.
  struct Gate {
    std::binary_semaphore open{0};
    std::atomic<bool> held = false;
    std::atomic<bool> released = false;
  };
  QPointer<ui::RunController> run_;
  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A main window that finds the templates of the source tree, loaded from the store when
  // asked, then shown.
  std::unique_ptr<ui::Osnova> makeWindow(bool load = false);

  testing::TempFolder temp_;
  fs::path driveA_;
  fs::path driveB_;
  fs::path savedCurrent_;
};

// A window test with a small collection: drive A holds "bookmarks/News/Daily.url", drive B an
// empty "site" folder.
class CollectionWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    source_ = driveA_ / "bookmarks";
    site_ = driveB_ / "site";
    testing::writeShortcut(source_ / "News", "Daily", "http://news.example/");
    fs::create_directories(site_);
  }

  fs::path source_;
  fs::path site_;
};

}  // namespace trevanto::uitest
