// SPDX-License-Identifier: MIT
// The browsers' profiles where Windows keeps them (%LOCALAPPDATA%, %APPDATA%): found with their
// names, imported whole, and, by the program, found through the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/path_text.h"
#include "import/browser_profiles.h"
#include "import/importer.h"
#include "support/browser_home.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

using namespace trevanto::import;
using trevanto::base::textOf;
using trevanto::testing::FakeProfile;
using trevanto::testing::FakeWindowsHome;
using trevanto::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

std::string described(const std::string& browser, const std::string& name, const fs::path& folder,
                      const fs::path& bookmarks, bool readable) {
  return browser + " | " + name + " | " + textOf(folder.lexically_normal()) + " | " +
         textOf(bookmarks.lexically_normal()) + " | " + (readable ? "ok" : "problem");
}

std::int64_t shortcutsUnder(const fs::path& folder) {
  std::int64_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == ".url") ++count;
  }
  return count;
}

class WindowsProfilesTest : public ::testing::Test {
 protected:
  UserHome userHome() const {
    UserHome home;
    home.localAppData = fake_.localAppData;
    home.appData = fake_.appData;
    return home;
  }
  TempFolder root_;
  FakeWindowsHome fake_{root_.path()};
};

TEST_F(WindowsProfilesTest, everyBrowser_foundUnderLocalAndRoamingAppDataWithItsNames) {
  const std::vector<BrowserProfile> found = findBrowserProfiles(userHome());
  std::vector<std::string> got, expected;
  for (const BrowserProfile& profile : found) {
    got.push_back(described(profile.browser, profile.name, profile.folder, profile.bookmarks, profile.problem.empty()));
  }
  for (const FakeProfile& profile : fake_.profiles) {
    expected.push_back(described(profile.browser, profile.name, profile.folder, profile.bookmarks, profile.readable));
  }
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  // The [Install...] section names the default; Local State's first profile is Chrome's.
  for (const BrowserProfile& profile : found) {
    if (profile.browser == "Firefox") {
      EXPECT_EQ(profile.isDefault, profile.name == "Личный") << profile.name;
    } else if (profile.browser == "Google Chrome") {
      EXPECT_EQ(profile.isDefault, profile.name == "Person 1") << profile.name;
    }
  }
  // Nothing of the Linux homes is looked at when they are not given, and nothing is found in
  // folders that are not given (no relative folder under the working folder).
  UserHome none;
  EXPECT_TRUE(findBrowserProfiles(none).empty());
}

TEST_F(WindowsProfilesTest, everyProfile_importedWhole) {
  ImportRequest request;
  request.collection = root_ / "Коллекция";
  for (const BrowserProfile& profile : findBrowserProfiles(userHome())) {
    if (!profile.bookmarks.empty()) request.profiles.push_back({profile.bookmarks, profile.label(), profile.problem});
  }
  const ImportReport report = runImport(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, fake_.bookmarkCount);
  EXPECT_TRUE(report.unreadProfiles.empty());
  EXPECT_EQ(shortcutsUnder(request.collection), fake_.bookmarkCount);
}

// The program finds the profiles through LOCALAPPDATA and APPDATA on Windows; on Linux the same
// folders are not where it looks, and it says it found none.
TEST_F(WindowsProfilesTest, program_findsTheProfilesThroughTheEnvironment) {
  trevanto::testing::setVariable("LOCALAPPDATA", textOf(fake_.localAppData).c_str());
  trevanto::testing::setVariable("APPDATA", textOf(fake_.appData).c_str());
  const fs::path collection = root_ / "collection";
  const fs::path output = root_ / "output.txt";
#ifdef _WIN32
  // cmd takes the first and the last quote of a line away when there are more than two.
  const std::string command = "\"\"" + std::string(TREVANTO_IMPORT_PATH) + "\" --browsers \"" + textOf(collection) +
                              "\" > \"" + textOf(output) + "\" 2>&1\"";
  const int status = std::system(command.c_str());
  const std::string text = trevanto::testing::readFile(output);
  ASSERT_EQ(status, 0) << text;
  EXPECT_EQ(shortcutsUnder(collection), fake_.bookmarkCount) << text;
#else
  const std::string command = "HOME=/nonexistent XDG_CONFIG_HOME=/nonexistent '" + std::string(TREVANTO_IMPORT_PATH) +
                              "' --browsers '" + collection.string() + "' > '" + output.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << trevanto::testing::readFile(output);
  EXPECT_FALSE(fs::exists(collection));
#endif
  trevanto::testing::unsetVariable("LOCALAPPDATA");
  trevanto::testing::unsetVariable("APPDATA");
}

}  // namespace
