// SPDX-License-Identifier: MIT
// The built program, unattended: a prepared store in a temporary home, no display, and
// nothing for a person to do.
#include <QProcess>
#include <QSettings>

#include "settings_store.h"
#include "ui_test_support.h"
#include "volumes.h"

namespace trevanto::uitest {
namespace {

QString configFile(const testing::TempFolder& home) { return qs(home / ".config" / "Trevanto" / "Config.ini"); }

// Writes the store under home, runs the built program there with no display and waits for it.
// Returns its exit code, or -1 when it did not end normally.
int runUnattended(const testing::TempFolder& home, const std::map<QString, QString>& entries, QString* errors) {
  {
    QSettings store(configFile(home), QSettings::IniFormat);
    store.beginGroup(ui::SettingsStore::kGroup);
    for (const auto& [key, value] : entries) store.setValue(key, value);
  }
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("HOME", qs(home.path()));
  environment.remove("XDG_CONFIG_HOME");
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(environment);
  program.setWorkingDirectory(qs(home.path()));
  program.start(TREVANTO_PROGRAM_PATH, {});
  const bool ended = program.waitForFinished(60000);
  *errors = QString::fromLocal8Bit(program.readAllStandardError());
  if (!ended || program.exitStatus() != QProcess::NormalExit) return -1;
  return program.exitCode();
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::writeShortcut(source_ / "News", "Daily", "http://news.example/");
    testing::writeShortcut(source_ / "Новости", "Погода", "http://weather.example/");
    fs::create_directories(site_);
    drive_ = ui::volumeOf(qs(home_.path()), ui::mountedVolumes());
    entries_ = {{"CHECK1", "1"},     {"CHECK2", "1"},    {"CHECK3", "1"},   {"DIR", qs(source_)},
                {"DIRS", qs(site_)}, {"DRIVE1", drive_}, {"DRIVE2", drive_}, {"NESTED", "0"}};
  }

  testing::TempFolder home_;
  fs::path source_ = home_ / "Закладки";
  fs::path site_ = home_ / "site";
  QString drive_;
  std::map<QString, QString> entries_;
};

TEST_F(EndToEnd, withTheThreeOptionsSetTheProgramConvertsSavesAndEndsByItself) {
  QString errors;
  ASSERT_EQ(runUnattended(home_, entries_, &errors), 0) << errors.toStdString();

  for (const char* page : {"News.html", "Новости.html", "Frame2.html", "Frame1.html", "Frame3.html", "Index.html"}) {
    EXPECT_TRUE(fs::exists(site_ / page)) << page;
  }
  EXPECT_NE(testing::readFile(site_ / "News.html").find("http://news.example/"), std::string::npos);

  QSettings store(configFile(home_), QSettings::IniFormat);
  store.beginGroup(ui::SettingsStore::kGroup);
  EXPECT_EQ(store.childKeys().size(), 8);
  for (const auto& [key, value] : entries_) EXPECT_EQ(store.value(key).toString(), value) << key.toStdString();
}

TEST_F(EndToEnd, withNoDisplayAndNothingToDoByItselfTheProgramSaysSoAndEnds) {
  entries_["CHECK2"] = "0";
  QString errors;
  EXPECT_EQ(runUnattended(home_, entries_, &errors), 2);
  EXPECT_TRUE(errors.contains("CHECK2")) << errors.toStdString();

  entries_["CHECK2"] = "1";
  entries_["DIRS"] = qs(home_ / "removed");  // a missing folder cancels the automatic start
  EXPECT_EQ(runUnattended(home_, entries_, &errors), 2);
  EXPECT_FALSE(fs::exists(site_ / "News.html"));
}

}  // namespace
}  // namespace trevanto::uitest
