// The built program, unattended: a prepared store in a temporary home, no display, and
// nothing for a person to do. It converts, saves and ends by itself.
#include <QProcess>
#include <QSettings>

#include "ui_test_support.h"
#include "volumes.h"

namespace trevanto::uitest {
namespace {

TEST(EndToEnd, withTheThreeOptionsSetTheProgramConvertsSavesAndEndsByItself) {
  testing::TempFolder home;
  const fs::path source = home / "Закладки";
  const fs::path site = home / "site";
  testing::writeShortcut(source / "News", "Daily", "http://news.example/");
  testing::writeShortcut(source / "Новости", "Погода", "http://weather.example/");
  fs::create_directories(site);
  const QList<ui::Volume> volumes = ui::mountedVolumes();
  const QString drive = ui::volumeOf(qs(home.path()), volumes);
  const QString configFile = qs(home / ".config" / "Trevanto" / "Config.ini");
  {
    QSettings store(configFile, QSettings::IniFormat);
    store.beginGroup("Load Defaults");
    const std::map<QString, QString> entries = {{"CHECK1", "1"},     {"CHECK2", "1"},    {"CHECK3", "1"},
                                                {"DIR", qs(source)}, {"DIRS", qs(site)}, {"DRIVE1", drive},
                                                {"DRIVE2", drive}};
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
  ASSERT_TRUE(program.waitForFinished(60000)) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

  for (const char* page : {"News.html", "Новости.html", "Frame2.html", "Frame1.html", "Frame3.html", "Index.html"}) {
    EXPECT_TRUE(fs::exists(site / page)) << page;
  }
  EXPECT_NE(testing::readFile(site / "News.html").find("http://news.example/"), std::string::npos);

  QSettings store(configFile, QSettings::IniFormat);
  store.beginGroup("Load Defaults");
  EXPECT_EQ(store.childKeys().size(), 7);
  EXPECT_EQ(store.value("CHECK2").toString(), "1");
  EXPECT_EQ(store.value("DIR").toString(), qs(source));
  EXPECT_EQ(store.value("DIRS").toString(), qs(site));
  EXPECT_EQ(store.value("DRIVE1").toString(), drive);
}

}  // namespace
}  // namespace trevanto::uitest
