// SPDX-License-Identifier: MIT
// trevanto-import: bookmarks from browsers' exports, profile files and link files into a
// collection of Internet shortcuts, which trevanto-convert then publishes.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "base/path_text.h"
#include "import/browser_profiles.h"
#include "import/importer.h"
#ifdef TREVANTO_HAS_SAVED_FOLDERS
#include "settings/saved_folders.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: trevanto-import [--section NAME] INPUT... SOURCE\n"
    "       trevanto-import [--section NAME] --browsers [INPUT...] SOURCE\n"
    "       trevanto-import [--section NAME] --browsers --settings [INPUT...]\n"
    "       trevanto-import --list-browsers\n"
    "Adds the bookmarks of each INPUT to the shortcut collection SOURCE (created when absent),\n"
    "one Internet shortcut (.url) per bookmark, in a section (subfolder) per bookmark folder.\n"
    "An INPUT is a browser's bookmark export (Netscape HTML), a Chromium-family \"Bookmarks\"\n"
    "file, a Firefox places.sqlite, an XBEL file, a link file (.url, .desktop, .webloc) or a\n"
    "folder of them.\n"
    "Nothing is overwritten or deleted; bookmarks already in their section are left alone.\n"
    "  --section NAME   the section for bookmarks outside any folder (default: Закладки)\n"
    "  --browsers       also every browser profile of the user found on this machine (Firefox\n"
    "                   and its kin, the Chromium family; snap and flatpak homes included)\n"
    "  --list-browsers  print those profiles (browser, profile, folder, bookmarks), write nothing\n"
    "  --settings       SOURCE is the source folder the window (trevanto) last saved\n"
    "  -h, --help       print this help and exit\n"
    "  -v, --version    print the version and exit\n";

// Prints every profile found: browser, name, folder and how many bookmarks, tab-separated.
int listBrowsers() {
  using namespace trevanto;
  const std::vector<import::BrowserProfile> profiles = import::findBrowserProfiles(import::UserHome::fromEnvironment());
  if (profiles.empty()) {
    std::cout << "Профили браузеров не найдены.\n";
    return base::kExitDone;
  }
  for (const import::BrowserProfile& profile : profiles) {
    std::string count;
    if (!profile.problem.empty()) {
      count = "не читается: " + profile.problem;
    } else if (profile.bookmarks.empty()) {
      count = "0";
    } else {
      try {
        count = std::to_string(import::countBookmarks(profile.bookmarks));
      } catch (const std::exception& failure) {
        count = std::string("не читается: ") + failure.what();
      }
    }
    std::cout << profile.browser << "\t" << profile.name << "\t" << base::textOf(profile.folder) << "\t" << count << "\n";
  }
  return base::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trevanto;
  base::CommandLine commandLine("trevanto-import", kUsage,
                                {{"--section", true, ""},
                                 {"--browsers", false, ""},
                                 {"--list-browsers", false, ""},
                                 {"--settings", false, ""}});
  return commandLine.run(argc, argv, [&]() -> int {
    std::vector<std::string> positional = commandLine.positional();
    const bool browsers = commandLine.has("--browsers");
    const bool fromSettings = commandLine.has("--settings");
    if (commandLine.has("--list-browsers")) {
      if (!positional.empty() || browsers || fromSettings) return commandLine.usageError("--list-browsers takes nothing else");
      return listBrowsers();
    }
    const std::size_t least = (browsers ? 0U : 1U) + (fromSettings ? 0U : 1U);
    if (positional.size() < least) return commandLine.usageError("at least one INPUT and the SOURCE folder are needed");

    import::ImportRequest request;
    request.namedSection = commandLine.value("--section").value_or(std::string());
    if (fromSettings) {
#ifdef TREVANTO_HAS_SAVED_FOLDERS
      const settings::SavedFolders saved = settings::savedFolders();
      if (saved.failed()) return commandLine.failure(saved.error);
      request.collection = saved.source;
      request.createCollection = false;
#else
      return commandLine.usageError("--settings: this build cannot read the window's settings (built without Qt)");
#endif
    } else {
      request.collection = base::pathOf(positional.back());
      positional.pop_back();
    }
    for (const std::string& input : positional) request.inputs.push_back(base::pathOf(input));

    if (browsers) {
      for (const import::BrowserProfile& profile : import::findBrowserProfiles(import::UserHome::fromEnvironment())) {
        // A profile not used yet has nothing to read.
        if (profile.bookmarks.empty() && profile.problem.empty()) continue;
        request.profiles.push_back(
            {profile.bookmarks, profile.label() + " (" + base::textOf(profile.folder) + ")", profile.problem});
      }
      if (request.profiles.empty()) {
        std::cout << "Профили браузеров с закладками не найдены.\n";
        if (request.inputs.empty()) return base::kExitDone;
      }
    }

    const import::ImportReport report = import::runImport(request);
    // A failed import prints its counts only when something was already written.
    if (!report.failed() || report.added > 0 || report.alreadyThere > 0) {
      for (const std::string& line : import::importStatisticsLines(report)) std::cout << line << "\n";
    }
    if (report.failed()) return commandLine.failure(report.error);
    return base::kExitDone;
  });
}
