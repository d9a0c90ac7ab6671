// SPDX-License-Identifier: MIT
// Browser profiles found on a fake home in every layout, and imported exactly as the same files
// given by path; the program's --list-browsers and --browsers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "import/browser_profiles.h"
#include "import/importer.h"
#include "support/browser_home.h"
#include "test_support.h"

using namespace trevanto::import;
using trevanto::testing::FakeHome;
using trevanto::testing::FakeProfile;
using trevanto::testing::readFile;
using trevanto::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

// Every file under a folder with its content, relative to it.
std::map<std::string, std::string> contentUnder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) files[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
  }
  return files;
}

class BrowserImportTest : public ::testing::Test {
 protected:
  ~BrowserImportTest() override {
    // The unlistable folder is given back, so that the temporary folder can go.
    std::error_code ignored;
    fs::permissions(fake_.home / ".mozilla/firefox/locked.profile", fs::perms::owner_all, ignored);
  }
  UserHome userHome() const { return {fake_.home, fake_.config, {}, {}}; }
  std::vector<ProfileInput> profileInputs() const {
    std::vector<ProfileInput> inputs;
    for (const BrowserProfile& profile : findBrowserProfiles(userHome())) {
      if (!profile.bookmarks.empty() || !profile.problem.empty())
        inputs.push_back({profile.bookmarks, profile.label(), profile.problem});
    }
    return inputs;
  }
  TempFolder root_;
  FakeHome fake_{root_.path()};
};

TEST_F(BrowserImportTest, everyLayout_foundWithNamesDefaultsAndProblems) {
  const std::vector<BrowserProfile> found = findBrowserProfiles(userHome());
  std::vector<std::string> got, expected;
  for (const BrowserProfile& profile : found) {
    got.push_back(profile.browser + " | " + profile.name + " | " + profile.folder.lexically_normal().string() + " | " +
                  profile.bookmarks.lexically_normal().string() + " | " + (profile.problem.empty() ? "ok" : "problem"));
  }
  for (const FakeProfile& profile : fake_.profiles) {
    expected.push_back(profile.browser + " | " + profile.name + " | " + profile.folder.lexically_normal().string() +
                       " | " + profile.bookmarks.lexically_normal().string() + " | " +
                       // A broken Bookmarks file is found; reading it is what fails.
                       (profile.readable || profile.name == "broken" ? "ok" : "problem"));
  }
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);

  // The [Install...] section decides the default over the profile's own Default=1.
  for (const BrowserProfile& profile : found) {
    if (profile.browser == "Firefox" && profile.name == "default-release") {
      EXPECT_TRUE(profile.isDefault);
    }
    if (profile.browser == "Firefox" && profile.name == "default") {
      EXPECT_FALSE(profile.isDefault);
    }
    if (profile.name == "Person 1") {
      EXPECT_TRUE(profile.isDefault);
    }
    EXPECT_EQ(profile.name.find("decoy"), std::string::npos) << "found under ~/.config beside XDG_CONFIG_HOME";
  }
  // Without XDG_CONFIG_HOME the ordinary ~/.config is where the Chromium family is looked for.
  const std::vector<BrowserProfile> plain = findBrowserProfiles({fake_.home, fake_.home / ".config", {}, {}});
  EXPECT_TRUE(std::any_of(plain.begin(), plain.end(), [](const auto& p) { return p.name == "decoy"; }));
}

TEST_F(BrowserImportTest, profiles_importedAsTheSameFilesByPathUnreadableNamedAndSkipped) {
  ImportRequest fromBrowsers;
  fromBrowsers.collection = root_ / "from browsers";
  fromBrowsers.profiles = profileInputs();
  const ImportReport report = runImport(fromBrowsers);
  ASSERT_FALSE(report.failed()) << report.error;

  ImportRequest byPath;
  byPath.collection = root_ / "by path";
  std::int64_t readable = 0;
  for (const FakeProfile& profile : fake_.profiles) {
    if (profile.readable && !profile.bookmarks.empty()) {
      byPath.inputs.push_back(profile.bookmarks);
      readable += profile.count;
    }
  }
  std::sort(byPath.inputs.begin(), byPath.inputs.end());
  // The order of inputs only decides " (2)" names, which these bookmarks never need.
  const ImportReport expected = runImport(byPath);
  ASSERT_FALSE(expected.failed()) << expected.error;
  EXPECT_EQ(report.added, readable);
  EXPECT_EQ(report.added, expected.added);
  EXPECT_EQ(report.alreadyThere, expected.alreadyThere);
  EXPECT_EQ(contentUnder(fromBrowsers.collection), contentUnder(byPath.collection));

  // The broken profile, the folder gone (and the unlistable one) are named with their reason.
  std::string named;
  for (const std::string& line : report.unreadProfiles) named += line + "\n";
  EXPECT_NE(named.find("Google Chrome \u00ABbroken\u00BB: "), std::string::npos) << named;
  EXPECT_NE(named.find("Profile 3/Bookmarks"), std::string::npos) << named;
  EXPECT_NE(named.find("Firefox \u00ABgone\u00BB: папки профиля нет"), std::string::npos) << named;
  EXPECT_EQ(report.unreadProfiles.size(), fake_.lockedFolderUnreadable ? 3U : 2U) << named;
  const std::vector<std::string> lines = importStatisticsLines(report);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.starts_with("Профиль не прочитан : "); }),
            lines.end());

  // A second import writes nothing.
  const ImportReport again = runImport(fromBrowsers);
  EXPECT_EQ(again.added, 0);
  EXPECT_EQ(again.alreadyThere, readable);
}

std::int64_t modified(const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return -1;
  return info.st_mtim.tv_sec;
}

// Each shortcut's modification time is when its bookmark was saved, in each source's own count:
// Firefox's microseconds since 1970, Chromium's microseconds since 1601, an export's seconds
// (milliseconds from some exporters); a date missing, broken or in the future leaves the time of
// writing.
TEST_F(BrowserImportTest, addedDates_becomeTheShortcutsModificationTimes) {
  trevanto::testing::writeFile(root_ / "export.html",
                     "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                     "<DT><A HREF=\"https://seconds.example/\" ADD_DATE=\"1300000000\">seconds</A>\n"
                     "<DT><A HREF=\"https://millis.example/\" ADD_DATE=\"1300000000123\">millis</A>\n"
                     "<DT><A HREF=\"https://future.example/\" ADD_DATE=\"99999999999\">future</A>\n"
                     "<DT><A HREF=\"https://broken.example/\" ADD_DATE=\"13e8\">broken</A>\n"
                     "</DL><p>\n");
  ImportRequest request;
  request.collection = root_ / "collection";
  request.inputs = {root_ / "export.html", fake_.home / ".mozilla/firefox/Profiles/abc.default-release/places.sqlite",
                    fake_.config / "google-chrome/Profile 1/Bookmarks"};
  const auto before = std::time(nullptr);
  const ImportReport report = runImport(request);
  ASSERT_FALSE(report.failed()) << report.error;
  const fs::path& c = request.collection;
  EXPECT_EQ(modified(c / "Закладки/seconds.url"), 1300000000);
  EXPECT_EQ(modified(c / "Закладки/millis.url"), 1300000000);
  EXPECT_GE(modified(c / "Закладки/future.url"), before);
  EXPECT_GE(modified(c / "Закладки/broken.url"), before);
  // The fake profiles' bookmark i was saved on day i of 2010.
  EXPECT_EQ(modified(c / "Новости default-release/default-release 0.url"), 1262304000);
  EXPECT_EQ(modified(c / "Закладки/default-release 3.url"), 1262304000 + 3 * 86400);
  EXPECT_EQ(modified(c / "Новости Работа/Работа 2.url"), 1262304000 + 2 * 86400);
  EXPECT_EQ(modified(c / "Закладки/Работа 1.url"), 1262304000 + 86400);
}

int runProgram(const std::string& environment, const std::string& arguments, std::string* output) {
  FILE* pipe = ::popen((environment + " " + TREVANTO_IMPORT_PATH + " " + arguments + " 2>&1").c_str(), "r");
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  *output = text;
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(BrowserImportTest, program_listsEveryProfileImportsThemAndSaysWhenThereAreNone) {
  const std::string environment = "HOME='" + fake_.home.string() + "' XDG_CONFIG_HOME='" + fake_.config.string() + "'";
  std::string output;
  ASSERT_EQ(runProgram(environment, "--list-browsers", &output), 0) << output;
  for (const FakeProfile& profile : fake_.profiles) {
    const std::string line = profile.browser + "\t" + profile.name + "\t" + profile.folder.string() + "\t";
    const std::size_t at = output.find(line);
    ASSERT_NE(at, std::string::npos) << line << "\n" << output;
    const std::string count = output.substr(at + line.size(), output.find('\n', at) - at - line.size());
    if (profile.readable) {
      EXPECT_EQ(count, std::to_string(profile.count)) << line;
    } else {
      EXPECT_TRUE(count.starts_with("не читается: ")) << line << count;
    }
  }
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), static_cast<long>(fake_.profiles.size())) << output;
  EXPECT_FALSE(fs::exists(root_ / "collection"));

  EXPECT_EQ(runProgram(environment, "--browsers '" + (root_ / "collection").string() + "'", &output), 0) << output;
  EXPECT_NE(output.find("Добавлено ярлыков : "), std::string::npos) << output;
  EXPECT_NE(output.find("Профиль не прочитан : Google Chrome \u00ABbroken\u00BB"), std::string::npos) << output;
  EXPECT_EQ(runProgram(environment, "--browsers '" + (root_ / "collection").string() + "'", &output), 0) << output;
  EXPECT_NE(output.find("Добавлено ярлыков : 0\n"), std::string::npos) << output;

  // An empty home: said plainly, nothing written; wrong combinations are wrong usage.
  const fs::path empty = root_ / "empty";
  fs::create_directories(empty);
  const std::string none = "HOME='" + empty.string() + "' XDG_CONFIG_HOME=";
  EXPECT_EQ(runProgram(none, "--list-browsers", &output), 0);
  EXPECT_EQ(output, "Профили браузеров не найдены.\n");
  EXPECT_EQ(runProgram(none, "--browsers '" + (root_ / "nothing").string() + "'", &output), 0);
  EXPECT_EQ(output, "Профили браузеров с закладками не найдены.\n");
  EXPECT_FALSE(fs::exists(root_ / "nothing"));
  EXPECT_EQ(runProgram(none, "--list-browsers x", &output), 2);
  EXPECT_EQ(runProgram(none, "--browsers", &output), 2);
}

// A pipe where a browser keeps a small file of its own, and stores that are no files: nothing
// waits on them, each is named with its reason.
TEST(BrowserSpecialFiles, pipesAndFoldersNamedNeverWaitedOn) {
  TempFolder root;
  const fs::path home = root.path() / "home";
  const fs::path config = home / ".config";
  fs::create_directories(home / ".mozilla/firefox");
  ASSERT_EQ(::mkfifo((home / ".mozilla/firefox/profiles.ini").c_str(), 0644), 0);
  trevanto::testing::writeFile(home / ".librewolf/profiles.ini", "[Profile0]\nName=p\nPath=p\n");
  fs::create_directories(home / ".librewolf/p/places.sqlite");
  fs::create_directories(config / "chromium/Default/Bookmarks");
  ASSERT_EQ(::mkfifo((config / "chromium/Local State").c_str(), 0644), 0);

  // Bounded by a timeout, so that a wait on a pipe fails the test rather than hanging it.
  const std::string environment = "HOME='" + home.string() + "' XDG_CONFIG_HOME='" + config.string() + "' timeout 20";
  std::string output;
  ASSERT_EQ(runProgram(environment, "--list-browsers", &output), 0) << output;
  const auto line = [](const std::string& browser, const std::string& name, const fs::path& folder,
                       const fs::path& file, const char* reason) {
    return browser + "\t" + name + "\t" + folder.string() + "\tне читается: " + file.string() + ": " + reason + "\n";
  };
  EXPECT_NE(output.find(line("Firefox", "profiles.ini", home / ".mozilla/firefox", home / ".mozilla/firefox/profiles.ini",
                             "не обычный файл")),
            std::string::npos)
      << output;
  EXPECT_NE(output.find(line("LibreWolf", "p", home / ".librewolf/p", home / ".librewolf/p/places.sqlite",
                             "папка, а не файл")),
            std::string::npos)
      << output;
  EXPECT_NE(output.find(line("Chromium", "Local State", config / "chromium", config / "chromium/Local State",
                             "не обычный файл")),
            std::string::npos)
      << output;
  EXPECT_NE(output.find(line("Chromium", "Default", config / "chromium/Default", config / "chromium/Default/Bookmarks",
                             "папка, а не файл")),
            std::string::npos)
      << output;

  ASSERT_EQ(runProgram(environment, "--browsers '" + (root.path() / "collection").string() + "'", &output), 0)
      << output;
  EXPECT_NE(output.find("Профиль не прочитан : LibreWolf \u00ABp\u00BB"), std::string::npos) << output;
  EXPECT_NE(output.find("Профиль не прочитан : Chromium \u00ABDefault\u00BB"), std::string::npos) << output;
  EXPECT_NE(output.find("Профиль не прочитан : Chromium \u00ABLocal State\u00BB"), std::string::npos) << output;
}

}  // namespace
