// SPDX-License-Identifier: MIT
// Start: the run goes off the window's thread and ends in the statistics, the close the user
// asked for, or a message that says what failed.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "message_box.h"
#include "option_box.h"
#include "run_controller.h"
#include "ui_test_support.h"

namespace trevanto::uitest {
namespace {

QWidget* topLevel(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
  }
  return nullptr;
}

class RunTest : public CollectionWindowTest {
 protected:
  void SetUp() override {
    CollectionWindowTest::SetUp();
    window_ = makeWindow();
    child<ui::FolderList>(window_.get(), "Dir")->setPath(qs(source_));
    child<ui::FolderList>(window_.get(), "DirS")->setPath(qs(site_));
    Command1 = child<QPushButton>(window_.get(), "Command1");
  }

  void addShortcuts(int count) {
    for (int i = 0; i < count; ++i) {
      testing::writeShortcut(source_ / "Many", "link " + std::to_string(i), "http://e.org/" + std::to_string(i));
    }
  }

  // Presses Start and waits for the run and what follows it to end.
  void start() {
    QSignalSpy finished(window_.get(), &ui::Osnova::runFinished);
    QTest::mouseClick(Command1, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(60000));
  }

  std::unique_ptr<ui::Osnova> window_;
  QPushButton* Command1 = nullptr;
};

TEST_F(RunTest, startWritesTheSiteAndShowsTheStatistics) {
  const QString siteCount = child<QLabel>(window_.get(), "Label4")->text();
  QSignalSpy finished(window_.get(), &ui::Osnova::runFinished);
  QTest::mouseClick(Command1, Qt::LeftButton);
  EXPECT_FALSE(Command1->isEnabled());
  EXPECT_FALSE(window_->centralWidget()->isEnabled());
  ASSERT_TRUE(finished.wait(60000));

  for (const char* page : {"News.html", "Frame2.html", "Frame1.html", "Frame3.html", "Index.html"}) {
    EXPECT_TRUE(fs::exists(site_ / page)) << page;
  }
  EXPECT_EQ(
      ui::MessageBox::takeShown(),
      QStringList("Было конвертировано : 1 ссылок.\n\rСоздано новых : 1 разделов.\n\rКол. во повторов ссылок : 0 ."));
  EXPECT_TRUE(Command1->isEnabled());
  EXPECT_TRUE(window_->centralWidget()->isEnabled());
  EXPECT_TRUE(window_->isVisible());
  // The count of the site side is brought up to date by the site side's chain, not by the run.
  EXPECT_EQ(child<QLabel>(window_.get(), "Label4")->text(), siteCount);

  start();
  EXPECT_TRUE(ui::MessageBox::takeShown().value(0).endsWith("Кол. во повторов ссылок : 1 ."));
}

TEST_F(RunTest, skippedShortcutsAreNamedInTheStatistics) {
  testing::writeFile(source_ / "News" / "Empty.url", "[InternetShortcut]\r\n");
  start();
  const QString statistics = ui::MessageBox::takeShown().value(0);
  EXPECT_TRUE(statistics.contains("Пропущено ярлыков : 1")) << statistics.toStdString();
  EXPECT_TRUE(statistics.contains("Empty")) << statistics.toStdString();
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(RunTest, check3HidesTheStatisticsAndCheck2ClosesTheWindowAndSaves) {
  child<ui::OptionBox>(window_.get(), "Check3")->setValue(1);
  start();
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
  EXPECT_TRUE(window_->isVisible());

  child<ui::OptionBox>(window_.get(), "Check2")->setValue(1);
  start();
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
  EXPECT_FALSE(window_->isVisible());
  const auto stored = readSettings();
  EXPECT_EQ(stored.at("CHECK2"), "1");
  EXPECT_EQ(stored.at("DIR"), qs(source_));
  EXPECT_EQ(stored.at("DIRS"), qs(site_));
  EXPECT_EQ(window_->exitCode(), 0);
}

TEST_F(RunTest, aFailingRunSaysWhatFailedAndTheWindowStaysUsable) {
  fs::remove_all(site_);
  start();
  const QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].contains(qs(site_))) << shown[0].toStdString();
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(Command1->isEnabled());

  fs::create_directories(site_);
  start();
  EXPECT_TRUE(fs::exists(site_ / "News.html"));
}

TEST_F(RunTest, aFailingRunWithCheck2SavesClosesAndEndsWithAFailureCode) {
  fs::remove_all(site_);
  child<ui::OptionBox>(window_.get(), "Check2")->setValue(1);
  start();
  EXPECT_EQ(ui::MessageBox::takeShown().size(), 1);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(readSettings().at("CHECK2"), "1");
  EXPECT_EQ(window_->exitCode(), 1);
}

TEST_F(RunTest, theProgressWindowCountsAndItsButtonStopsTheRunBetweenTwoShortcuts) {
  addShortcuts(3);
  window_->setProgressDelay(0);
  auto* run = child<ui::RunController>(window_.get(), "Run");
  HeldRun held(window_.get());
  QSignalSpy finished(window_.get(), &ui::Osnova::runFinished);
  QTest::mouseClick(Command1, Qt::LeftButton);
  ASSERT_TRUE(held.waitUntilHeld());
  EXPECT_EQ(run->state(), ui::RunController::State::Running);
  QWidget* progress = topLevel("Progress");
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(child<QLabel>(progress, "ProgressCount")->text().startsWith("Обработано ярлыков: "));
  QTest::mouseClick(child<QPushButton>(progress, "ProgressStop"), Qt::LeftButton);
  held.release();  // the shortcut at hand is finished, the next is not begun
  ASSERT_TRUE(finished.wait(60000));

  EXPECT_EQ(topLevel("Progress"), nullptr);
  EXPECT_EQ(run->state(), ui::RunController::State::Idle);
  const QString statistics = ui::MessageBox::takeShown().value(0);
  EXPECT_TRUE(statistics.startsWith("Было конвертировано : 1 ссылок.")) << statistics.toStdString();
  EXPECT_TRUE(statistics.endsWith("Преобразование остановлено.")) << statistics.toStdString();
  EXPECT_TRUE(Command1->isEnabled());
}

TEST_F(RunTest, theReportIsHandledInFinishingAndStartIsRefusedUntilIdle) {
  auto* run = child<ui::RunController>(window_.get(), "Run");
  std::vector<ui::RunController::State> during;
  QObject::connect(run, &ui::RunController::finished, run, [&] { during.push_back(run->state()); });
  HeldRun held(window_.get());
  QSignalSpy finished(window_.get(), &ui::Osnova::runFinished);
  QTest::mouseClick(Command1, Qt::LeftButton);
  ASSERT_TRUE(held.waitUntilHeld());
  EXPECT_FALSE(run->start(site::RunRequest(source_, site_, TREVANTO_TEMPLATES_DIR)));
  window_->Command1_Click();  // a second press does nothing while the run goes
  held.release();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_EQ(during, std::vector{ui::RunController::State::Finishing});
  EXPECT_EQ(run->state(), ui::RunController::State::Idle);
  EXPECT_EQ(finished.size(), 1);
  EXPECT_EQ(ui::MessageBox::takeShown().size(), 1);
}

TEST_F(RunTest, closingTheWindowDuringARunStopsTheRunThenSavesAndCloses) {
  addShortcuts(3);
  auto* run = child<ui::RunController>(window_.get(), "Run");
  HeldRun held(window_.get());
  QSignalSpy finished(window_.get(), &ui::Osnova::runFinished);
  QTest::mouseClick(Command1, Qt::LeftButton);
  ASSERT_TRUE(held.waitUntilHeld());
  EXPECT_FALSE(window_->close());  // waits for the run
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(run->state(), ui::RunController::State::Closing);
  EXPECT_TRUE(readSettings().empty());  // saved when the close completes
  held.release();
  ASSERT_TRUE(finished.wait(60000));

  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
  EXPECT_EQ(readSettings().at("DIR"), qs(source_));
  EXPECT_EQ(testing::readFile(site_ / "Many.html").find("/1\""), std::string::npos);   // stopped after one
  EXPECT_FALSE(run->start(site::RunRequest(source_, site_, TREVANTO_TEMPLATES_DIR)));  // no run after a close
}

}  // namespace
}  // namespace trevanto::uitest
