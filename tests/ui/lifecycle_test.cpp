// SPDX-License-Identifier: MIT
// The settings store, loading at start, the automatic start and the three ways to close.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <system_error>

#include "message_box.h"
#include "option_box.h"
#include "settings_store.h"
#include "ui_test_support.h"

namespace trevanto::uitest {
namespace {

using ui::SettingsStore;

TEST(SettingsStoreTest, keysAreStoredInCapitalsAndMatchedInAnyCase) {
  removeSettings();
  {
    SettingsStore store;
    EXPECT_EQ(store.read("Drive1"), "");
    EXPECT_EQ(store.read("Drive1", "fallback"), "fallback");
    store.write("DRIVE1", "/media/usb");
    EXPECT_EQ(store.commit(), "");
  }
  SettingsStore store;
  EXPECT_EQ(store.read("Drive1"), "/media/usb");
  EXPECT_EQ(readSettings().count("DRIVE1"), 1u);
  EXPECT_EQ(QFileInfo(store.fileName()).fileName(), "Config.ini");
  EXPECT_EQ(QFileInfo(store.fileName()).dir().dirName(), "Trevanto");

  writeSettings({{"Check2", "1"}});  // put in by hand
  EXPECT_EQ(SettingsStore().read("CHECK2"), "1");
  removeSettings();
}

TEST(SettingsStoreTest, aWriteReplacesTheFileWholeAndLeavesNothingBeside) {
  removeSettings();
  SettingsStore store;
  store.write("DIR", "/home/ann/Закладки, старые");
  ASSERT_EQ(store.commit(), "");
  const QDir folder = QFileInfo(store.fileName()).dir();
  EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden), QStringList("Config.ini"));
  EXPECT_EQ(SettingsStore().read("DIR"), "/home/ann/Закладки, старые");
  removeSettings();
}

TEST(SettingsStoreTest, aFailedWriteNamesTheFileAndTheReason) {
  const QString folder = QFileInfo(settingsFile()).absolutePath();
  QDir(folder).removeRecursively();
  {
    QFile blocker(folder);  // a file where the folder belongs
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  SettingsStore store;
  store.write("CHECK1", "1");
  const QString failure = store.commit();
  QFile::remove(folder);
  EXPECT_TRUE(failure.contains(store.fileName())) << failure.toStdString();
  EXPECT_TRUE(failure.contains("файл")) << failure.toStdString();
}

TEST(SettingsStoreTest, theReasonIsTheSystemsInTheUsersLanguage) {
  const QString file = settingsFile();
  QDir().mkpath(file);  // a folder where the file belongs
  const std::string english = std::system_category().message(EISDIR);
  QString failure;
  std::string reason;
  {
    testing::LocaleScope russian("ru_RU.UTF-8");
    if (russian.usable()) {
      reason = std::system_category().message(EISDIR);
      SettingsStore store;
      store.write("CHECK1", "1");
      failure = store.commit();
    }
  }
  QDir(file).removeRecursively();
  if (reason.empty() || reason == english) GTEST_SKIP() << "no Russian locale with system messages installed";
  EXPECT_TRUE(failure.contains(QString::fromStdString(reason))) << failure.toStdString();
}

class LifecycleTest : public CollectionWindowTest {
 protected:
  std::map<QString, QString> validStore() const {
    return {{"CHECK1", "1"},         {"CHECK2", "0"},         {"CHECK3", "1"}, {"DIR", qs(source_)}, {"DIRS", qs(site_)},
            {"DRIVE1", qs(driveA_)}, {"DRIVE2", qs(driveB_)}, {"NESTED", "0"}};
  }

  int option(ui::Osnova* window, const char* name) { return child<ui::OptionBox>(window, name)->Value(); }
  QString path(ui::Osnova* window, const char* name) { return child<ui::FolderList>(window, name)->Path(); }
  QString drive(ui::Osnova* window, const char* name) { return child<ui::DriveList>(window, name)->Drive(); }
  bool armed(ui::Osnova* window) { return child<QTimer>(window, "Timer1")->isActive(); }
};

TEST_F(LifecycleTest, aFirstStartAppliesNothingAndArmsNothing) {
  auto window = makeWindow(true);
  EXPECT_EQ(option(window.get(), "Check1"), 0);
  EXPECT_EQ(path(window.get(), "Dir"), qs(driveA_ / "start"));
  EXPECT_EQ(drive(window.get(), "Drive2"), qs(driveA_));
  EXPECT_FALSE(armed(window.get()));
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
}

TEST_F(LifecycleTest, aValidStoreBringsEverythingBackAndArmsTheTimer) {
  writeSettings(validStore());
  auto window = makeWindow(true);
  EXPECT_EQ(option(window.get(), "Check1"), 1);
  EXPECT_EQ(option(window.get(), "Check2"), 0);
  EXPECT_EQ(option(window.get(), "Check3"), 1);
  EXPECT_EQ(path(window.get(), "Dir"), qs(source_));
  EXPECT_EQ(path(window.get(), "DirS"), qs(site_));
  EXPECT_EQ(drive(window.get(), "Drive1"), qs(driveA_));
  EXPECT_EQ(drive(window.get(), "Drive2"), qs(driveB_));
  EXPECT_TRUE(armed(window.get()));
  EXPECT_EQ(child<QTimer>(window.get(), "Timer1")->interval(), 2000);
  EXPECT_TRUE(child<QTimer>(window.get(), "Timer1")->isSingleShot());
}

// The first failing step ends loading; what came before it stays, and nothing starts by itself.
struct FailingStep {
  const char* key;
  const char* value;  // nullptr: the entry is absent
  int applied;        // how many of the seven steps took effect
};

class LoadingTableTest : public LifecycleTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(LoadingTableTest, stopsAtTheFailingStep) {
  const FailingStep step = GetParam();
  auto entries = validStore();
  entries["CHECK2"] = "1";  // differs from the initial state, so its effect can be seen
  if (step.value == nullptr) {
    entries.erase(step.key);
  } else {
    entries[step.key] = step.value;
  }
  writeSettings(entries);
  auto window = makeWindow(true);
  EXPECT_EQ(option(window.get(), "Check1"), step.applied > 0 ? 1 : 0);
  EXPECT_EQ(option(window.get(), "Check2"), step.applied > 1 ? 1 : 0);
  EXPECT_EQ(option(window.get(), "Check3"), step.applied > 2 ? 1 : 0);
  EXPECT_EQ(path(window.get(), "Dir"), step.applied > 3 ? qs(source_) : qs(driveA_ / "start"));
  EXPECT_EQ(path(window.get(), "DirS"), step.applied > 4 ? qs(site_) : qs(driveA_ / "start"));
  EXPECT_EQ(drive(window.get(), "Drive2"), step.applied > 4 ? qs(driveB_) : qs(driveA_));
  EXPECT_FALSE(armed(window.get()));
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LoadingTableTest,
    ::testing::Values(FailingStep{"CHECK1", nullptr, 0}, FailingStep{"CHECK1", "yes", 0}, FailingStep{"CHECK2", "x", 1},
                      FailingStep{"CHECK3", "3", 2}, FailingStep{"CHECK3", "-1", 2}, FailingStep{"DIR", "", 3},
                      FailingStep{"DIR", "/no/such/folder", 3}, FailingStep{"DIRS", "/no/such/folder", 4},
                      FailingStep{"DRIVE1", "/no/such/drive", 5}, FailingStep{"DRIVE2", nullptr, 6},
                      // What a Windows machine stored, copied over: no folder or drive of this one.
                      FailingStep{"DIR", "C:\\Users\\Анна\\Ссылки", 3}, FailingStep{"DRIVE1", "C:\\", 5}));

TEST_F(LifecycleTest, optionsReadAsPlainDigitsWithBlanksAndGrayedCancelsTheStart) {
  auto entries = validStore();
  entries["CHECK1"] = "2";
  entries["CHECK2"] = " 1 ";
  writeSettings(entries);
  auto window = makeWindow(true);
  EXPECT_EQ(child<ui::OptionBox>(window.get(), "Check1")->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(option(window.get(), "Check2"), 1);
  EXPECT_EQ(drive(window.get(), "Drive2"), qs(driveB_));
  EXPECT_FALSE(armed(window.get()));
}

TEST_F(LifecycleTest, exitAndTheCloseBoxWriteTheEightEntries) {
  writeSettings(validStore());
  auto window = makeWindow(true);
  child<ui::OptionBox>(window.get(), "Check3")->setValue(0);
  removeSettings();
  QTest::mouseClick(child<QPushButton>(window.get(), "Command2"), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  auto expected = validStore();
  expected["CHECK3"] = "0";
  EXPECT_EQ(readSettings(), expected);

  auto second = makeWindow(true);  // loads what the first close wrote
  removeSettings();
  second->close();
  EXPECT_FALSE(second->isVisible());
  EXPECT_EQ(readSettings(), expected);
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
}

// The menu item for deeper folders comes back checked, goes to the run, and is saved; the menu
// bar only grows by it, the window keeps its size.
TEST_F(LifecycleTest, theNestedSectionsItemIsReadGivenToTheRunAndSaved) {
  auto entries = validStore();
  entries["CHECK1"] = "0";
  entries["NESTED"] = "1";
  writeSettings(entries);
  testing::writeShortcut(source_ / "News" / "Deeper", "Deep", "http://deep.example/");
  auto window = makeWindow(true);
  QAction* nested = window->findChild<QAction*>(QStringLiteral("Nested"));
  ASSERT_NE(nested, nullptr);
  EXPECT_TRUE(nested->isCheckable());
  EXPECT_TRUE(nested->isChecked());
  QSignalSpy finished(window.get(), &ui::Osnova::runFinished);
  QTest::mouseClick(child<QPushButton>(window.get(), "Command1"), Qt::LeftButton);
  ASSERT_TRUE(finished.wait(60000));
  ui::MessageBox::takeShown();
  EXPECT_TRUE(fs::exists(site_ / "News - Deeper.html"));
  nested->setChecked(false);
  window->close();
  entries["NESTED"] = "0";
  EXPECT_EQ(readSettings(), entries);
}

TEST_F(LifecycleTest, entriesWrittenByHandInOtherCaseAreReplacedAndOtherKeysStay) {
  std::map<QString, QString> byHand;
  for (const auto& [key, value] : validStore()) byHand[key.toLower()] = value;
  byHand["Drive1"] = qs(driveA_);
  byHand.erase("drive1");
  byHand["check1"] = "0";
  byHand["Note"] = "kept";
  writeSettings(byHand);
  auto window = makeWindow(true);
  EXPECT_EQ(drive(window.get(), "Drive2"), qs(driveB_));  // read whatever the case
  child<ui::OptionBox>(window.get(), "Check3")->setValue(0);
  window->close();

  auto expected = validStore();
  expected["CHECK1"] = "0";
  expected["CHECK3"] = "0";
  expected["Note"] = "kept";
  EXPECT_EQ(readSettings(), expected);  // one entry per key, as the program writes them
}

TEST_F(LifecycleTest, aSettingsWriteThatFailsIsReportedAndTheWindowStillCloses) {
  auto window = makeWindow(true);
  const QString folder = QFileInfo(settingsFile()).absolutePath();
  QDir(folder).removeRecursively();
  {
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  window->close();
  QFile::remove(folder);
  const QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].contains("Config.ini")) << shown[0].toStdString();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(LifecycleTest, theTimerRunsOnceByItself) {
  writeSettings(validStore());
  auto window = std::make_unique<ui::Osnova>();
  window->setProgramFolder(TREVANTO_TEMPLATES_DIR);
  child<QTimer>(window.get(), "Timer1")->setInterval(10);
  QSignalSpy finished(window.get(), &ui::Osnova::runFinished);
  window->Form_Load();
  window->show();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(fs::exists(site_ / "News.html"));
  EXPECT_FALSE(armed(window.get()));
  QTest::qWait(100);
  EXPECT_EQ(finished.size(), 1);
}

TEST_F(LifecycleTest, theTimerWaitsForARunStartedByHand) {
  testing::writeShortcut(source_ / "Many", "link", "http://e.org/");
  writeSettings(validStore());
  auto window = makeWindow(true);
  QSignalSpy finished(window.get(), &ui::Osnova::runFinished);
  {
    HeldRun held(window.get());
    QTest::mouseClick(child<QPushButton>(window.get(), "Command1"), Qt::LeftButton);
    ASSERT_TRUE(held.waitUntilHeld());
    window->Timer1_Timer();  // falls due while the run goes on
    EXPECT_FALSE(armed(window.get()));
  }
  ASSERT_TRUE(finished.wait(60000));
  ASSERT_TRUE(finished.wait(60000));  // the waiting run, started after the first returned
  EXPECT_FALSE(window->isRunning());
  EXPECT_EQ(finished.size(), 2);
  const QStringList shown = ui::MessageBox::takeShown();
  EXPECT_TRUE(shown.isEmpty());  // Check3 is set in the store
  EXPECT_TRUE(fs::exists(site_ / "Many.html"));
}

}  // namespace
}  // namespace trevanto::uitest
