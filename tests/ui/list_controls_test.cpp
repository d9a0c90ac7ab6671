// SPDX-License-Identifier: MIT
// The list controls on their own: what the chains of the main window rely on.
#include <QSignalSpy>
#include <QTest>

#include "base/file_error.h"
#include "message_box.h"
#include "ui_test_support.h"
#include "volumes.h"

namespace trevanto::uitest {
namespace {

using ui::FileList;
using ui::FolderList;

class ListControlsTest : public WindowTest {
 protected:
  // A folder list in a window of its own, shown so that it can be clicked.
  FolderList* shownFolderList() {
    host_ = std::make_unique<QWidget>();
    host_->resize(300, 400);
    auto* list = new FolderList(host_.get());
    list->setGeometry(0, 0, 300, 400);
    host_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
    return list;
  }

  std::unique_ptr<QWidget> host_;
};

TEST_F(ListControlsTest, folderListHoldsSubfoldersInNameOrderAsFullPaths) {
  const fs::path folder = driveA_ / "tree";
  for (const char* name : {"b", "A", "c"}) fs::create_directories(folder / name);
  testing::writeFile(folder / "file.url", "x");
  FolderList list;
  list.setPath(qs(folder));
  ASSERT_EQ(list.ListCount(), 3);
  EXPECT_EQ(list.List(0), qs(folder / "A"));
  EXPECT_EQ(list.List(1), qs(folder / "b"));
  EXPECT_EQ(list.List(2), qs(folder / "c"));
  // The ancestors from the root down, then the subfolders.
  EXPECT_EQ(list.item(0)->text(), "/");
  EXPECT_EQ(list.item(list.count() - 4)->text(), "tree");
  EXPECT_EQ(list.item(list.count() - 1)->text(), "c");
}

TEST_F(ListControlsTest, changeRunsOnlyWhenTheFolderShownChanges) {
  FolderList list;
  int changes = 0;
  list.onChange = [&] { ++changes; };
  list.setPath(qs(driveA_));
  EXPECT_EQ(changes, 1);
  list.setPath(qs(driveA_));
  list.setPath(qs(driveA_) + "/");
  list.setPath(qs(driveA_ / "start" / ".."));
  EXPECT_EQ(changes, 1);
  list.setPathToDrive(qs(driveA_));
  EXPECT_EQ(changes, 1);
}

TEST_F(ListControlsTest, aDriveGivesTheFolderLastShownOnIt) {
  fs::create_directories(driveB_ / "deep" / "er");
  FolderList list;
  list.setPathToDrive(qs(driveB_));  // nothing shown there yet: its mount point
  EXPECT_EQ(list.Path(), qs(driveB_));
  list.setPath(qs(driveB_ / "deep" / "er"));
  list.setPath(qs(driveA_ / "start"));
  list.setPathToDrive(qs(driveB_));
  EXPECT_EQ(list.Path(), qs(driveB_ / "deep" / "er"));
  list.setPathToDrive(qs(driveA_));
  EXPECT_EQ(list.Path(), qs(driveA_ / "start"));

  // A remembered folder removed since: the nearest folder above it that is left.
  fs::remove_all(driveB_ / "deep" / "er");
  list.setPathToDrive(qs(driveB_));
  EXPECT_EQ(list.Path(), qs(driveB_ / "deep"));
}

TEST_F(ListControlsTest, aFolderThatCannotBeShownThrowsNamingItAndTheListStays) {
  FolderList list;
  list.setPath(qs(driveA_));
  const fs::path missing = driveA_ / "gone";
  try {
    list.setPath(qs(missing));
    FAIL() << "no failure";
  } catch (const base::FileError& failure) {
    EXPECT_NE(std::string(failure.what()).find(missing.string()), std::string::npos) << failure.what();
  }
  EXPECT_EQ(list.Path(), qs(driveA_));
  EXPECT_THROW(list.setPath(""), base::FileError);
  EXPECT_THROW(list.setPathToDrive(qs(temp_ / "unplugged")), base::FileError);
}

TEST_F(ListControlsTest, aClickOnlySelectsWhileDoubleClickAndEnterOpen) {
  fs::create_directories(driveA_ / "one");
  fs::create_directories(driveA_ / "two");
  FolderList* list = shownFolderList();
  list->setPath(qs(driveA_));
  int changes = 0;
  int clicks = 0;
  list->onChange = [&] { ++changes; };
  list->onClick = [&] { ++clicks; };

  clickEntry(list, "one");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(list->Path(), qs(driveA_));

  openEntry(list, "one");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list->Path(), qs(driveA_ / "one"));

  list->setCurrentItem(list->findItems("A", Qt::MatchExactly).last());
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(list->Path(), qs(driveA_));
}

TEST_F(ListControlsTest, openingAVanishedFolderIsReportedAndTheListStays) {
  fs::create_directories(driveA_ / "soon gone");
  FolderList* list = shownFolderList();
  list->setPath(qs(driveA_));
  fs::remove(driveA_ / "soon gone");
  openEntry(list, "soon gone");
  const QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].contains(qs(driveA_ / "soon gone"))) << shown[0].toStdString();
  EXPECT_EQ(list->Path(), qs(driveA_));
}

TEST_F(ListControlsTest, fileListCountsShortcutsOrEveryFileAndReadsAnewOnRefresh) {
  const fs::path folder = driveA_ / "files";
  testing::writeFile(folder / "b.url", "x");
  testing::writeFile(folder / "A.URL", "x");
  testing::writeFile(folder / "page.html", "x");
  testing::writeFile(folder / "url", "x");
  fs::create_directories(folder / "folder.url");
  FileList shortcuts;
  shortcuts.setPattern("*.url");
  shortcuts.setPath(qs(folder));
  shortcuts.Refresh();
  ASSERT_EQ(shortcuts.ListCount(), 2);
  EXPECT_EQ(shortcuts.List(0), "A.URL");
  EXPECT_EQ(shortcuts.List(1), "b.url");

  FileList every;
  every.setPath(qs(folder));
  every.Refresh();
  EXPECT_EQ(every.ListCount(), 4);
  testing::writeFile(folder / "new.html", "x");
  EXPECT_EQ(every.ListCount(), 4);
  every.Refresh();
  EXPECT_EQ(every.ListCount(), 5);

  every.setPath(qs(driveA_ / "missing"));
  EXPECT_THROW(every.Refresh(), base::FileError);
}

TEST_F(ListControlsTest, driveListChangesOnlyForAnotherMountedDrive) {
  ui::DriveList drives;
  EXPECT_EQ(drives.Drive(), qs(driveA_));  // the drive of the current folder
  int changes = 0;
  drives.onChange = [&] { ++changes; };
  drives.setDrive(qs(driveA_));
  EXPECT_EQ(changes, 0);
  drives.setDrive(qs(driveB_));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(drives.Drive(), qs(driveB_));
  EXPECT_THROW(drives.setDrive(qs(temp_ / "C")), base::FileError);
  EXPECT_THROW(drives.setDrive(""), base::FileError);
  EXPECT_EQ(drives.Drive(), qs(driveB_));
  EXPECT_EQ(changes, 1);
}

// The drive letters of Windows, as the system gives them: the list shows each with its label or
// share, keeps the designation, and takes a stored drive in any spelling of its letter.
TEST_F(ListControlsTest, driveLettersAreListedAndFoundByTheirLetter) {
  const QList<ui::Volume> letters = {{"A:\\", {}, ui::Volume::Kind::Removable},
                                     {"C:\\", "System"},
                                     {"D:\\", {}, ui::Volume::Kind::Optical},
                                     {"Z:\\", "\\\\files\\links", ui::Volume::Kind::Network},
                                     {qs(driveA_), {}}};
  ui::setVolumeProvider([letters] { return letters; });
  ui::DriveList drives;
  QStringList shown;
  for (int i = 0; i < drives.count(); ++i) shown << drives.itemText(i);
  EXPECT_EQ(shown, QStringList({"A:\\", "C:\\ [System]", "D:\\", "Z:\\ [\\\\files\\links]", qs(driveA_)}));

  int changes = 0;
  drives.onChange = [&] { ++changes; };
  drives.setDrive("c:");
  EXPECT_EQ(drives.Drive(), "C:\\");
  EXPECT_EQ(changes, 1);
  drives.setDrive("C:/");
  drives.setDrive("c: [System]");
  EXPECT_EQ(changes, 1);
  drives.setDrive("z:\\");
  EXPECT_EQ(drives.Drive(), "Z:\\");
  // A drive of the other system, or a letter not there now: refused, the list stays.
  EXPECT_THROW(drives.setDrive("/"), base::FileError);
  EXPECT_THROW(drives.setDrive("E:\\"), base::FileError);
  EXPECT_EQ(drives.Drive(), "Z:\\");
  EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace trevanto::uitest
