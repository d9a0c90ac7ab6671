// SPDX-License-Identifier: MIT
#include "ui_test_support.h"

#include <QSettings>
#include <QTest>

#include "message_box.h"
#include "settings_store.h"
#include "volumes.h"

namespace trevanto::uitest {
namespace {

// The program's store as a person editing the file sees it: keys as they are written.
QSettings store() { return QSettings(ui::SettingsStore().fileName(), QSettings::IniFormat); }

QListWidgetItem* entry(ui::FolderList* list, const QString& text) {
  const auto items = list->findItems(text, Qt::MatchExactly);
  if (items.isEmpty()) {
    ADD_FAILURE() << "no entry " << text.toStdString() << " in " << list->objectName().toStdString();
    return nullptr;
  }
  return items.last();
}

}  // namespace

QString settingsFile() { return store().fileName(); }

void removeSettings() { QFile::remove(settingsFile()); }

void writeSettings(const std::map<QString, QString>& entries) {
  QSettings settings = store();
  settings.beginGroup(ui::SettingsStore::kGroup);
  for (const auto& [key, value] : entries) settings.setValue(key, value);
  settings.endGroup();
}

std::map<QString, QString> readSettings() {
  QSettings settings = store();
  settings.beginGroup(ui::SettingsStore::kGroup);
  std::map<QString, QString> entries;
  for (const QString& key : settings.childKeys()) entries[key] = settings.value(key).toString();
  return entries;
}

void clickEntry(ui::FolderList* list, const QString& text) {
  if (QListWidgetItem* item = entry(list, text)) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
  }
}

void openEntry(ui::FolderList* list, const QString& text) {
  if (QListWidgetItem* item = entry(list, text)) {
    list->scrollToItem(item);
    // As a mouse does it: a press and release, then the second press that makes it double.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
  }
}

void chooseDrive(ui::DriveList* list, const QString& designation) {
  const int index = list->findData(designation);
  ASSERT_GE(index, 0) << designation.toStdString();
  list->setCurrentIndex(index);
}

HeldRun::HeldRun(ui::Osnova* window) : run_(child<ui::RunController>(window, "Run")) {
  if (run_) {
    run_->setHooks(
        [gate = gate_](const site::RunProgress&) {
          if (!gate->held.exchange(true)) gate->open.acquire();
        },
        {});
  }
}

HeldRun::~HeldRun() {
  release();
  if (run_) run_->setHooks({}, {});
}

bool HeldRun::waitUntilHeld() {
  return QTest::qWaitFor([this] { return gate_->held.load(); }, 60000);
}

void HeldRun::release() {
  if (!gate_->released.exchange(true)) gate_->open.release();
}

void WindowTest::SetUp() {
  driveA_ = temp_ / "A";
  driveB_ = temp_ / "B";
  fs::create_directories(driveA_ / "start");
  fs::create_directories(driveB_);
  const QList<ui::Volume> volumes = {{QStringLiteral("/"), {}}, {qs(driveA_), {}}, {qs(driveB_), {}}};
  ui::setVolumeProvider([volumes] { return volumes; });
  savedCurrent_ = fs::current_path();
  fs::current_path(driveA_ / "start");
  removeSettings();
  ui::MessageBox::takeShown();
}

void WindowTest::TearDown() {
  fs::current_path(savedCurrent_);
  ui::setVolumeProvider({});
  removeSettings();
}

std::unique_ptr<ui::Osnova> WindowTest::makeWindow(bool load) {
  auto window = std::make_unique<ui::Osnova>();
  window->setProgramFolder(QStringLiteral(TREVANTO_TEMPLATES_DIR));
  if (load) window->Form_Load();
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  return window;
}

}  // namespace trevanto::uitest
