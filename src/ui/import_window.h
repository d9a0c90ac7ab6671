// SPDX-License-Identifier: MIT
// The window of "Импорт": the browser profiles found on this machine, a check box each, files
// added by hand, and the import of the checked ones into the source folder, on a thread of its
// own with its progress shown. The importer does the work; this window only gathers the choice.
#pragma once

#include <QDialog>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "import/browser_profiles.h"
#include "import/importer.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QTreeWidget;

namespace trevanto::ui {

class ImportWindow : public QDialog {
  Q_OBJECT

 public:
  // collection: the source folder the bookmarks go to; imported: run once an import has ended
  // and its statistics have been shown.
  ImportWindow(QWidget* mainWindow, std::filesystem::path collection, std::function<void()> imported);
  // Waits for an import still going: every shortcut it writes is whole.
  ~ImportWindow() override;

  // Adds a bookmark file chosen by hand; false (and a message) when it cannot be read.
  bool addFile(const std::filesystem::path& file);
  void startImport();
  bool isImporting() const { return thread_ != nullptr; }
  // Closes it even while an import goes (the program is closing): the import is waited for.
  void closeWithProgram();

  // Tests: where the profiles are looked for.
  static void setUserHomeForTests(std::optional<import::UserHome> home);

 signals:
  void profilesListed();
  void importFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void listProfiles(std::vector<import::BrowserProfile> profiles, std::vector<std::string> counts);
  void chooseFile();
  void importEnded();
  void showProgress();

  std::filesystem::path collection_;
  std::function<void()> imported_;
  QTreeWidget* Profiles = nullptr;
  QLabel* Target = nullptr;
  QLabel* Status = nullptr;
  QProgressBar* Progress = nullptr;
  QPushButton* AddFile = nullptr;
  QPushButton* Import = nullptr;
  QPushButton* Close = nullptr;
  std::vector<import::BrowserProfile> profiles_;
  std::vector<std::filesystem::path> files_;
  QThread* scan_ = nullptr;
  QThread* thread_ = nullptr;
  QTimer* ticker_ = nullptr;
  struct Shared {
    std::atomic<std::int64_t> done = 0;
    std::atomic<std::int64_t> total = 0;
    import::ImportReport report;
  };
  std::shared_ptr<Shared> shared_;
  bool closingWithProgram_ = false;
};

}  // namespace trevanto::ui
