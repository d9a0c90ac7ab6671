// SPDX-License-Identifier: MIT
// The About window: as drawn, and the main window disabled exactly while it is open.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "form4.h"
#include "option_box.h"
#include "ui_test_support.h"

namespace trevanto::uitest {
namespace {

class AboutTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_ = makeWindow();
  }

  QWidget* openAbout() {
    window_->Ab_Click(0);
    QWidget* about = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == "Form4" && widget->isVisible()) about = widget;
    }
    EXPECT_NE(about, nullptr);
    return about;
  }

  // The About window is gone: destroyed, not merely hidden.
  static bool destroyed(const QPointer<QWidget>& about) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return about.isNull();
  }

  std::unique_ptr<ui::Osnova> window_;
};

TEST_F(AboutTest, looksAsDrawn) {
  QWidget* about = openAbout();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->windowTitle(), "About");
  EXPECT_EQ(about->size(), QSize(292, 67));
  auto* Label1 = child<QLabel>(about, "Label1");
  EXPECT_EQ(Label1->text(), "Trevanto  V 1");
  EXPECT_EQ(Label1->geometry(), QRect(8, 8, 297, 25));
  EXPECT_EQ(Label1->font().family(), "Arial");
  EXPECT_DOUBLE_EQ(Label1->font().pointSizeF(), 15.75);
  EXPECT_TRUE(Label1->font().bold());
  EXPECT_EQ(Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  auto* Label2 = child<QLabel>(about, "Label2");
  EXPECT_EQ(Label2->text(), QString("Заходите в гости :") + ui::kWebAddress);
  EXPECT_EQ(Label2->geometry(), QRect(40, 32, 193, 17));
  auto* Command1 = child<QPushButton>(about, "Command1");
  EXPECT_EQ(Command1->text(), "Close");
  EXPECT_EQ(Command1->geometry(), QRect(64, 48, 137, 17));
  EXPECT_EQ(about->focusWidget(), Command1);
}

TEST_F(AboutTest, closeEnablesTheMainWindowAndTheNextAboutIsANewWindow) {
  QPointer<QWidget> about = openAbout();
  EXPECT_FALSE(window_->isEnabled());
  QTest::mouseClick(child<QPushButton>(about, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_TRUE(destroyed(about));

  QPointer<QWidget> again = openAbout();
  ASSERT_FALSE(again.isNull());
  EXPECT_EQ(child<QLabel>(again, "Label1")->text(), "Trevanto  V 1");
  EXPECT_FALSE(window_->isEnabled());
}

TEST_F(AboutTest, theCloseBoxAndEscapeAlsoEnableTheMainWindow) {
  QPointer<QWidget> about = openAbout();
  about->close();
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_TRUE(destroyed(about));

  about = openAbout();
  QTest::keyClick(about, Qt::Key_Escape);
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_TRUE(destroyed(about));
}

TEST_F(AboutTest, theMainWindowOwnsAboutWhichStaysInFrontOfIt) {
  QPointer<QWidget> about = openAbout();
  ASSERT_NE(about->windowHandle(), nullptr);
  EXPECT_EQ(about->windowHandle()->transientParent(), window_->windowHandle());
  EXPECT_TRUE(about->isEnabled());  // the main window's disabling does not reach it
  EXPECT_FALSE(about->windowFlags() & Qt::WindowMinimizeButtonHint);

  about->showMinimized();  // alone: it comes back
  EXPECT_TRUE(QTest::qWaitFor([&] { return !about->isMinimized() && about->isVisible(); }));

  window_->activateWindow();  // as a click on the disabled main window does
  EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == about.data(); }));
}

TEST_F(AboutTest, closingTheMainWindowClosesTheAboutWindowToo) {
  QPointer<QWidget> about = openAbout();
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(destroyed(about));
  EXPECT_EQ(readSettings().size(), 8u);
}

TEST_F(AboutTest, anAutomaticRunWithCheck2ClosesBothWindows) {
  const fs::path source = driveA_ / "bookmarks";
  testing::writeShortcut(source / "News", "Daily", "http://news.example/");
  child<ui::FolderList>(window_.get(), "Dir")->setPath(qs(source));
  child<ui::OptionBox>(window_.get(), "Check2")->setValue(1);
  child<ui::OptionBox>(window_.get(), "Check3")->setValue(1);
  QPointer<QWidget> about = openAbout();
  QSignalSpy finished(window_.get(), &ui::Osnova::runFinished);
  window_->Timer1_Timer();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(destroyed(about));
  EXPECT_EQ(readSettings().at("CHECK2"), "1");
}

}  // namespace
}  // namespace trevanto::uitest
