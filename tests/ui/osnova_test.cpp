// SPDX-License-Identifier: MIT
// The main window as drawn, and the chains that keep each side's lists in step.
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>

#include "message_box.h"
#include "option_box.h"
#include "ui_test_support.h"
#include "volumes.h"

namespace trevanto::uitest {
namespace {

using ui::DriveList;
using ui::FileList;
using ui::FolderList;
using ui::OptionBox;

class OsnovaTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_ = makeWindow();
    Drive1 = child<DriveList>(window_.get(), "Drive1");
    Drive2 = child<DriveList>(window_.get(), "Drive2");
    Dir = child<FolderList>(window_.get(), "Dir");
    DirS = child<FolderList>(window_.get(), "DirS");
    File = child<FileList>(window_.get(), "File");
    FileS = child<FileList>(window_.get(), "FileS");
    Label3 = child<QLabel>(window_.get(), "Label3");
    Label4 = child<QLabel>(window_.get(), "Label4");
  }

  std::unique_ptr<ui::Osnova> window_;
  DriveList* Drive1 = nullptr;
  DriveList* Drive2 = nullptr;
  FolderList* Dir = nullptr;
  FolderList* DirS = nullptr;
  FileList* File = nullptr;
  FileList* FileS = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
};

struct Placement {
  const char* name;
  QRect pixels;
};

TEST_F(OsnovaTest, everyControlSitsWhereTheLayoutDrawsIt) {
  EXPECT_EQ(window_->windowTitle(), "Основная форма");
  EXPECT_EQ(window_->centralWidget()->geometry(), QRect(0, window_->menuBar()->height(), 522, 184));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());  // not resizable

  const Placement placements[] = {
      {"Label1", {16, 0, 137, 17}},    {"Label2", {176, 0, 129, 17}},   {"Drive1", {8, 16, 153, 21}},
      {"Drive2", {168, 16, 145, 21}},  {"Dir", {8, 40, 153, 126}},      {"DirS", {168, 40, 145, 126}},
      {"File", {24, 104, 65, 32}},     {"FileS", {136, 104, 81, 32}},   {"Label3", {8, 168, 145, 17}},
      {"Label4", {168, 168, 145, 17}}, {"Command1", {320, 8, 201, 17}}, {"Command2", {320, 24, 201, 17}},
      {"Check1", {320, 40, 193, 33}},  {"Check2", {320, 80, 193, 41}},  {"Check3", {320, 128, 193, 41}},
  };
  for (const Placement& placement : placements) {
    const QWidget* control = child<QWidget>(window_.get(), placement.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), placement.pixels) << placement.name;
  }
  EXPECT_FALSE(File->isVisible());
  EXPECT_FALSE(FileS->isVisible());

  EXPECT_EQ(child<QLabel>(window_.get(), "Label1")->text(), "Откуда");
  EXPECT_EQ(child<QLabel>(window_.get(), "Label2")->text(), "Куда");
  EXPECT_EQ(Label3->text(), "Кол. во (URL): ");
  EXPECT_EQ(Label4->text(), "Кол. во (HTML): ");
  EXPECT_EQ(child<QPushButton>(window_.get(), "Command1")->text(), "Start");
  EXPECT_EQ(child<QPushButton>(window_.get(), "Command2")->text(), "Выход");
  EXPECT_EQ(child<OptionBox>(window_.get(), "Check1")->text(), "Нетребовать нажатия START при запуске !");
  EXPECT_EQ(child<OptionBox>(window_.get(), "Check2")->text(), "Закрытие программы по исполнению !");
  EXPECT_EQ(child<OptionBox>(window_.get(), "Check3")->text(), "Не показывать статистику по оканчанию");
  const QList<QAction*> menu = window_->menuBar()->actions();
  ASSERT_EQ(menu.size(), 3);
  EXPECT_EQ(menu[0]->text(), "About");
  EXPECT_EQ(menu[0]->menu(), nullptr);
  EXPECT_EQ(menu[1]->text(), "Импорт");
  EXPECT_EQ(menu[1]->menu(), nullptr);
  EXPECT_EQ(menu[2]->text(), "Настройки");
  ASSERT_NE(menu[2]->menu(), nullptr);
  ASSERT_EQ(menu[2]->menu()->actions().size(), 1);
  EXPECT_EQ(menu[2]->menu()->actions()[0]->text(), "Вложенные папки — разделы");
  EXPECT_TRUE(menu[2]->menu()->actions()[0]->isCheckable());
}

TEST_F(OsnovaTest, fontsIconTabOrderAndFocus) {
  for (const char* name : {"Label1", "Label2"}) {
    const QFont font = child<QLabel>(window_.get(), name)->font();
    EXPECT_EQ(font.family(), "Arial");
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.0);
    EXPECT_TRUE(font.bold());
  }
  for (QLabel* label : {Label3, Label4}) {
    EXPECT_EQ(label->font().family(), "Arial");
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 8.25);
    EXPECT_FALSE(label->font().bold());
  }
  const QList<QSize> sizes = window_->windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));

  EXPECT_EQ(window_->focusWidget(), Dir);
  QStringList order;
  QWidget* widget = Dir;
  do {
    if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
        widget->window() == window_.get()) {
      order << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != Dir);
  EXPECT_EQ(order,
            QStringList({"Dir", "DirS", "Drive1", "Drive2", "Command1", "Check1", "Check2", "Check3", "Command2"}));
}

TEST_F(OsnovaTest, optionsAreSetAndClearedByClicksAndGrayedOnlyByCode) {
  auto* Check1 = child<OptionBox>(window_.get(), "Check1");
  EXPECT_EQ(Check1->Value(), 0);
  QTest::mouseClick(Check1, Qt::LeftButton, {}, QPoint(150, 5));  // on the caption's second line
  EXPECT_EQ(Check1->Value(), 1);
  QTest::mouseClick(Check1, Qt::LeftButton);
  EXPECT_EQ(Check1->Value(), 0);
  Check1->setValue(2);
  EXPECT_EQ(Check1->checkState(), Qt::PartiallyChecked);
  QTest::mouseClick(Check1, Qt::LeftButton);
  EXPECT_EQ(Check1->Value(), 1);
}

// Another system's style draws a wider mark and another font wider letters, so the captions wrap in
// less room than here: at no width may a "!" be left alone on a line, below the box's two lines.
TEST_F(OsnovaTest, optionCaptionsNeverLeaveTheirClosingMarkAloneOnALine) {
  for (const char* name : {"Check1", "Check2"}) {
    auto* box = child<OptionBox>(window_.get(), name);
    const QString caption = ui::captionAsDrawn(box->text());
    EXPECT_EQ(QString(caption).replace(QChar(0x00A0), QLatin1Char(' ')), box->text()) << name;
    for (int width = box->width() / 3; width <= box->width(); width += 4) {
      QTextLayout layout(caption, box->font());
      QTextOption option;
      option.setWrapMode(QTextOption::WordWrap);
      layout.setTextOption(option);
      layout.beginLayout();
      for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        EXPECT_NE(caption.mid(line.textStart(), line.textLength()).trimmed(), QStringLiteral("!"))
            << name << " at " << width << " px";
      }
      layout.endLayout();
    }
  }
}

TEST_F(OsnovaTest, countLabelsShowTheCaptionABlankAndTheCount) {
  const fs::path source = driveA_ / "source";
  for (int i = 0; i < 12; ++i) testing::writeShortcut(source, "link " + std::to_string(i), "http://e.org/");
  testing::writeFile(source / "notes.txt", "x");
  fs::create_directories(source / "sub.url");
  openEntry(Dir, "A");  // the parent of the current folder
  openEntry(Dir, "source");
  EXPECT_EQ(Label3->text(), "Кол. во (URL):  12");
  EXPECT_EQ(File->Path(), qs(source));

  openEntry(DirS, "A");
  openEntry(DirS, "source");
  EXPECT_EQ(Label4->text(), "Кол. во (HTML):  13");
  openEntry(Dir, "sub.url");
  EXPECT_EQ(Label3->text(), "Кол. во (URL):  0");
}

TEST_F(OsnovaTest, eachSideFollowsItsOwnListsAndNeverTheOther) {
  fs::create_directories(driveA_ / "start" / "inner");
  fs::create_directories(driveB_ / "site");
  Dir->setPathToDrive(qs(driveA_));  // re-read: inner appeared after the window was made
  DirS->setPathToDrive(qs(driveA_));
  const QString siteLabel = Label4->text();

  openEntry(Dir, "inner");
  EXPECT_EQ(Dir->Path(), qs(driveA_ / "start" / "inner"));
  EXPECT_EQ(DirS->Path(), qs(driveA_ / "start"));
  EXPECT_EQ(FileS->Path(), qs(driveA_ / "start"));
  EXPECT_EQ(Label4->text(), siteLabel);

  chooseDrive(Drive2, qs(driveB_));
  EXPECT_EQ(DirS->Path(), qs(driveB_));
  EXPECT_EQ(FileS->Path(), qs(driveB_));
  EXPECT_EQ(Label4->text(), "Кол. во (HTML):  0");
  EXPECT_EQ(Dir->Path(), qs(driveA_ / "start" / "inner"));
  EXPECT_EQ(Drive1->Drive(), qs(driveA_));
}

TEST_F(OsnovaTest, aDriveBringsBackTheFolderLastShownOnIt) {
  fs::create_directories(driveB_ / "site" / "pages");
  chooseDrive(Drive1, qs(driveB_));
  EXPECT_EQ(Dir->Path(), qs(driveB_));
  openEntry(Dir, "site");
  openEntry(Dir, "pages");
  chooseDrive(Drive1, qs(driveA_));
  EXPECT_EQ(Dir->Path(), qs(driveA_ / "start"));
  chooseDrive(Drive1, qs(driveB_));
  EXPECT_EQ(Dir->Path(), qs(driveB_ / "site" / "pages"));
  EXPECT_EQ(File->Path(), qs(driveB_ / "site" / "pages"));
}

TEST_F(OsnovaTest, choosingTheSelectedDriveRunsNothingAndAClickNeverMovesTheList) {
  fs::create_directories(driveA_ / "start" / "inner");
  Dir->setPathToDrive(qs(driveA_));
  Label3->setText("untouched");
  Drive1->setCurrentIndex(Drive1->currentIndex());
  Drive1->setDrive(qs(driveA_));
  EXPECT_EQ(Label3->text(), "untouched");

  testing::writeShortcut(driveA_ / "start", "new", "http://e.org/");
  clickEntry(Dir, "inner");
  EXPECT_EQ(Dir->Path(), qs(driveA_ / "start"));
  EXPECT_EQ(Label3->text(), "Кол. во (URL):  1");  // for the folder shown, not the one clicked
}

TEST_F(OsnovaTest, openingAFolderOnAnotherVolumeTakesItsDriveAlong) {
  fs::create_directories(driveA_ / "elsewhere");
  openEntry(Dir, "/");
  EXPECT_EQ(Dir->Path(), "/");
  EXPECT_EQ(Drive1->Drive(), "/");
  Dir->setPath(qs(driveB_));  // from code: the chain runs and ends with both lists on B
  EXPECT_EQ(Dir->Path(), qs(driveB_));
  EXPECT_EQ(Drive1->Drive(), qs(driveB_));
  EXPECT_EQ(File->Path(), qs(driveB_));
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
}

TEST_F(OsnovaTest, aDriveThatIsNotReadyIsReportedAndTheWindowStaysUsable) {
  const fs::path gone = driveB_;
  fs::remove_all(gone);
  chooseDrive(Drive1, qs(gone));
  const QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].contains(qs(gone))) << shown[0].toStdString();
  EXPECT_EQ(Drive1->Drive(), qs(gone));  // moved, and stays moved
  EXPECT_EQ(Dir->Path(), qs(driveA_ / "start"));

  chooseDrive(Drive1, qs(driveA_));
  EXPECT_EQ(Dir->Path(), qs(driveA_ / "start"));
  EXPECT_EQ(Label3->text(), "Кол. во (URL):  0");
  EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
}

TEST_F(OsnovaTest, theVolumesAreReadOnRefreshAndWhenADriveListOpensNeverPerClick) {
  const QList<ui::Volume> volumes = ui::currentVolumes();
  int reads = 0;
  ui::setVolumeProvider([&] {
    ++reads;
    return volumes;
  });
  ui::currentVolumes();  // the one read after the provider changed
  fs::create_directories(driveA_ / "start" / "inner");
  fs::create_directories(driveB_ / "site");
  clickEntry(Dir, "start");
  openEntry(Dir, "inner");
  openEntry(Dir, "A");
  clickEntry(DirS, "start");
  openEntry(DirS, "A");
  EXPECT_EQ(Dir->Path(), qs(driveA_));
  EXPECT_EQ(reads, 1);

  Dir->setPath(qs(driveB_ / "site"));  // onto another drive: Drive1_Change refreshes the list once
  EXPECT_EQ(Drive1->Drive(), qs(driveB_));
  EXPECT_EQ(reads, 2);
  Drive2->showPopup();
  Drive2->hidePopup();
  EXPECT_EQ(reads, 3);
}

TEST_F(OsnovaTest, aShownFolderRemovedBehindTheWindowIsReportedOnceAndTheListMovesUp) {
  struct Side {
    FolderList* list;
    FileList* files;
    QLabel* count;
    const char* caption;
  };
  for (const Side& side :
       {Side{Dir, File, Label3, "Кол. во (URL):  "}, Side{DirS, FileS, Label4, "Кол. во (HTML):  "}}) {
    const fs::path removed = driveA_ / "start" / "inner";
    fs::create_directories(removed / "deeper");
    testing::writeFile(driveA_ / "start" / "page.url", "x");
    side.list->setPath(qs(removed / "deeper"));
    fs::remove_all(removed);

    clickEntry(side.list, "deeper");
    const QStringList shown = ui::MessageBox::takeShown();
    ASSERT_EQ(shown.size(), 1) << shown.join('|').toStdString();
    EXPECT_TRUE(shown[0].contains(qs(removed / "deeper"))) << shown[0].toStdString();
    EXPECT_EQ(side.list->Path(), qs(driveA_ / "start"));  // the nearest folder above that exists
    EXPECT_EQ(side.files->Path(), qs(driveA_ / "start"));
    EXPECT_EQ(side.count->text(), QString(side.caption) + "1");

    openEntry(side.list, "A");  // the next clicks work again
    EXPECT_EQ(side.list->Path(), qs(driveA_));
    EXPECT_TRUE(ui::MessageBox::takeShown().isEmpty());
    fs::remove(driveA_ / "start" / "page.url");
  }
}

}  // namespace
}  // namespace trevanto::uitest
