// SPDX-License-Identifier: MIT
// "Импорт" in the menu bar: the profiles of a fake home listed and checked, a file added by hand,
// the import into the folder Dir shows off the window's thread, the importer's statistics, and
// the source side brought up to date; the settings reader the programs share with the window.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "import/importer.h"
#include "import_window.h"
#include "message_box.h"
#include "qt_texts.h"
#include "settings/saved_folders.h"
#include "settings_store.h"
#include "support/browser_home.h"
#include "ui_test_support.h"

namespace trevanto::uitest {
namespace {

class ImportWindowTest : public CollectionWindowTest {
 protected:
  void SetUp() override {
    CollectionWindowTest::SetUp();
    fake_ = std::make_unique<testing::FakeHome>(temp_ / "browsers");
    ui::ImportWindow::setUserHomeForTests(import::UserHome{fake_->home, fake_->config, {}, {}});
    window_ = makeWindow();
    Dir = child<ui::FolderList>(window_.get(), "Dir");
    Dir->setPath(qs(source_));
    Label3 = child<QLabel>(window_.get(), "Label3");
  }
  void TearDown() override {
    window_.reset();
    ui::ImportWindow::setUserHomeForTests(std::nullopt);
    std::error_code ignored;
    fs::permissions(fake_->home / ".mozilla/firefox/locked.profile", fs::perms::owner_all, ignored);
    CollectionWindowTest::TearDown();
  }

  // Opens the import window through the menu bar and waits for its list.
  ui::ImportWindow* openImport() {
    QAction* Imp = window_->findChild<QAction*>(QStringLiteral("Imp"));
    if (Imp == nullptr) return nullptr;
    Imp->trigger();
    auto* dialog = window_->findChild<ui::ImportWindow*>(QStringLiteral("ImportWindow"));
    if (dialog == nullptr) return nullptr;
    auto* list = child<QTreeWidget>(dialog, "Profiles");
    if (!QTest::qWaitFor([&] { return child<QPushButton>(dialog, "Import")->isEnabled(); }, 30000)) return nullptr;
    EXPECT_EQ(list->topLevelItemCount(), static_cast<int>(fake_->profiles.size()));
    return dialog;
  }

  std::unique_ptr<testing::FakeHome> fake_;
  std::unique_ptr<ui::Osnova> window_;
  ui::FolderList* Dir = nullptr;
  QLabel* Label3 = nullptr;
};

TEST_F(ImportWindowTest, profilesListedCheckedWithTheirCounts_unknownFileRefused) {
  ui::ImportWindow* dialog = openImport();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  auto* list = child<QTreeWidget>(dialog, "Profiles");
  for (const testing::FakeProfile& profile : fake_->profiles) {
    const QList<QTreeWidgetItem*> named = list->findItems(QString::fromStdString(profile.name), Qt::MatchExactly, 1);
    ASSERT_FALSE(named.isEmpty()) << profile.name;
    const QTreeWidgetItem* item = named.front();
    EXPECT_EQ(item->text(0).toStdString(), profile.browser);
    EXPECT_EQ(item->checkState(0), Qt::Checked);
    if (profile.readable) {
      EXPECT_EQ(item->text(2), QString::number(profile.count)) << profile.name;
    } else {
      EXPECT_TRUE(item->text(2).startsWith("не читается: ")) << profile.name;
    }
  }
  EXPECT_TRUE(child<QLabel>(dialog, "Target")->text().endsWith(qs(source_)));
  // A file that holds no bookmarks of a known kind is refused with a message, not listed.
  testing::writeFile(temp_ / "notes.txt", "just text");
  EXPECT_FALSE(dialog->addFile(temp_ / "notes.txt"));
  const QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.front().contains("notes.txt")) << shown.front().toStdString();
}

// The file dialog of "Добавить файл..." is Qt's own, in Russian where Debian's translation is
// installed, and shows dot folders: browsers keep their profiles in them.
TEST_F(ImportWindowTest, fileDialog_showsDotFolders_inRussian) {
  const bool russian = ui::installQtTexts();
  ui::ImportWindow* dialog = openImport();
  ASSERT_NE(dialog, nullptr);
  bool seen = false;
  QTimer::singleShot(0, [&] {
    if (!QTest::qWaitFor([&] { return dialog->findChild<QFileDialog*>(QStringLiteral("BookmarkFileDialog")) != nullptr; }, 5000)) return;
    auto* files = dialog->findChild<QFileDialog*>(QStringLiteral("BookmarkFileDialog"));
    if (files == nullptr) return;
    seen = true;
    EXPECT_TRUE(files->filter().testFlag(QDir::Hidden));
    EXPECT_TRUE(files->testOption(QFileDialog::DontUseNativeDialog));
    if (russian) {
      auto* cancel = files->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
      EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
    }
    files->reject();
  });
  QTest::mouseClick(child<QPushButton>(dialog, "AddFile"), Qt::LeftButton);
  EXPECT_TRUE(seen);
  if (!russian) GTEST_SKIP() << "Qt's Russian texts (qt6-translations-l10n) are not installed";
}

TEST_F(ImportWindowTest, import_intoTheShownFolderStatisticsThenSourceSideUpToDate) {
  ui::ImportWindow* dialog = openImport();
  ASSERT_NE(dialog, nullptr);
  auto* list = child<QTreeWidget>(dialog, "Profiles");
  // One profile unchecked; one export added by hand.
  list->findItems(QStringLiteral("wolf"), Qt::MatchExactly, 1).front()->setCheckState(0, Qt::Unchecked);
  ASSERT_TRUE(dialog->addFile(fs::path(TREVANTO_IMPORT_FIXTURES) / "safari.html"));
  std::int64_t expected = 3;  // the export's
  for (const testing::FakeProfile& profile : fake_->profiles) {
    if (profile.readable && profile.name != "wolf") expected += profile.count;
  }
  // A shortcut put beside the sections after the count was shown: the chain must count it.
  testing::writeShortcut(source_, "Loose", "http://loose.example/");
  const QString before = Label3->text();
  const int foldersBefore = Dir->ListCount();

  QSignalSpy finished(dialog, &ui::ImportWindow::importFinished);
  QTest::mouseClick(child<QPushButton>(dialog, "Import"), Qt::LeftButton);
  EXPECT_TRUE(dialog->isImporting());
  EXPECT_FALSE(child<QPushButton>(dialog, "Import")->isEnabled());
  ASSERT_TRUE(finished.wait(60000));

  const QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.front().startsWith(QStringLiteral("Добавлено ярлыков : %1\nУже были : 0").arg(expected)))
      << shown.front().toStdString();
  EXPECT_TRUE(shown.front().contains("Профиль не прочитан : Google Chrome \u00ABbroken\u00BB"));
  EXPECT_TRUE(fs::exists(source_ / "Избранное" / "Top.url") || fs::exists(source_ / "Закладки" / "Top.url"));
  EXPECT_FALSE(fs::exists(source_ / "Новости wolf"));
  EXPECT_TRUE(fs::exists(source_ / "Новости Работа"));
  EXPECT_EQ(before, "Кол. во (URL):  0");
  EXPECT_EQ(Label3->text(), "Кол. во (URL):  1");
  EXPECT_GT(Dir->ListCount(), foldersBefore);

  // Again: nothing new.
  QTest::mouseClick(child<QPushButton>(dialog, "Import"), Qt::LeftButton);
  ASSERT_TRUE(finished.wait(60000));
  const QStringList again = ui::MessageBox::takeShown();
  ASSERT_EQ(again.size(), 1);
  EXPECT_TRUE(again.front().startsWith(QStringLiteral("Добавлено ярлыков : 0\nУже были : %1").arg(expected)));
}

// A folder that holds no section yet: the import asks first, naming the folder in full, and
// "Нет" writes nothing; "Да" imports, and the next import asks nothing.
TEST_F(ImportWindowTest, firstImportIntoAFolderWithoutSections_asksFirst) {
  const fs::path fresh = temp_ / "fresh";
  fs::create_directories(fresh);
  Dir->setPath(qs(fresh));
  ui::ImportWindow* dialog = openImport();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(child<QLabel>(dialog, "Target")->text(), QStringLiteral("Куда: ") + qs(fresh));

  ui::MessageBox::setQuestionAnswer(false);
  QTest::mouseClick(child<QPushButton>(dialog, "Import"), Qt::LeftButton);
  ui::MessageBox::setQuestionAnswer(true);
  EXPECT_FALSE(dialog->isImporting());
  const QStringList asked = ui::MessageBox::takeShown();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked.front().contains(QStringLiteral("«%1» ещё нет разделов").arg(qs(fresh))))
      << asked.front().toStdString();
  EXPECT_TRUE(fs::is_empty(fresh));

  QSignalSpy finished(dialog, &ui::ImportWindow::importFinished);
  QTest::mouseClick(child<QPushButton>(dialog, "Import"), Qt::LeftButton);
  ASSERT_TRUE(finished.wait(60000));
  QStringList shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown.front(), asked.front());
  EXPECT_TRUE(shown.back().startsWith(QStringLiteral("Добавлено ярлыков : "))) << shown.back().toStdString();
  EXPECT_TRUE(import::collectionHoldsSections(fresh));

  QTest::mouseClick(child<QPushButton>(dialog, "Import"), Qt::LeftButton);
  ASSERT_TRUE(finished.wait(60000));
  shown = ui::MessageBox::takeShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.front().startsWith(QStringLiteral("Добавлено ярлыков : 0"))) << shown.front().toStdString();
}

// The programs read the folders the window saved through the same code: whatever a folder's
// name holds, they get it back as the window wrote it.
TEST_F(WindowTest, savedFolders_readBackAsTheWindowWroteThem) {
  removeSettings();
  EXPECT_TRUE(settings::savedFolders().failed());
  const fs::path source = temp_ / "Мои, \"лучшие\" = закладки; @all";
  const fs::path site = temp_ / "сайт\\ #1 ";
  {
    ui::SettingsStore store;
    store.write(QStringLiteral("DIR"), qs(source));
    store.write(QStringLiteral("DIRS"), qs(site));
    ASSERT_TRUE(store.commit().isEmpty());
  }
  const settings::SavedFolders saved = settings::savedFolders();
  ASSERT_FALSE(saved.failed()) << saved.error;
  EXPECT_EQ(saved.source, source);
  EXPECT_EQ(saved.site, site);
  EXPECT_EQ(saved.file, ui::toFsPath(settingsFile()));
  EXPECT_FALSE(saved.nestedSections);
  // A key put in by hand in other letter case is read like the window reads it.
  removeSettings();
  writeSettings({{"dir", "/from/hand"}, {"DIRS", "/site"}, {"nested", " 1"}});
  EXPECT_EQ(settings::savedFolders().source, fs::path("/from/hand"));
  EXPECT_TRUE(settings::savedFolders().nestedSections);
  removeSettings();
  writeSettings({{"DIR", "/only/source"}});
  EXPECT_NE(settings::savedFolders().error.find("DIRS"), std::string::npos);
}

}  // namespace
}  // namespace trevanto::uitest
