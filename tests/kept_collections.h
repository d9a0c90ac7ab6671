// SPDX-License-Identifier: MIT
// The collections the tests convert, kept for a second look from outside the test: when the
// variable TREVANTO_KEEP_COLLECTIONS names a folder, every run made through runKeeping() first
// leaves there a copy of its source folder and of its site folder as the run finds them, under
// the running test's name, one numbered stage for each run of the test:
//   FOLDER/Suite.test/1/source/  FOLDER/Suite.test/1/site/  FOLDER/Suite.test/1/options
// (options: the converter's command-line options that stand for the request, one a line).
// scripts/windows-same-site converts them again with the Linux and the Windows program and
// compares the two sites. Without the variable a run is only the run, and keeping never changes
// what a test sees: a copy that cannot be made whole is left out, and only named
// (FOLDER/Suite.test/N.not-kept).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

#include "site/conversion.h"

namespace trevanto::testing {

namespace kept {

// "Suite.test", a parameter's "/" made "-" so that the name is one folder.
inline std::string currentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return "outside-a-test";
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/' || c == '\\') c = '-';
  }
  return name;
}

// Copies a folder tree with its symbolic links as links; a link that points into the tree by an
// absolute path points to the same place in the copy, by a relative one, so that the copy does
// not lean on the test's temporary folder once that is gone.
inline bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(to, error);
  if (error) return false;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
  if (error) return false;
  const fs::path base = from.lexically_normal();
  for (auto entry = fs::recursive_directory_iterator(to, error); !error && entry != fs::recursive_directory_iterator();
       entry.increment(error)) {
    if (!entry->is_symlink(error)) continue;
    const fs::path target = fs::read_symlink(entry->path(), error);
    if (error) return false;
    const fs::path inside = target.lexically_normal().lexically_relative(base);
    if (!target.is_absolute() || inside.empty() || *inside.begin() == "..") continue;
    const fs::path original = base / entry->path().lexically_relative(to);
    const fs::path relative = (base / inside).lexically_relative(original.parent_path());
    fs::remove(entry->path(), error);
    if (!error) fs::create_directory_symlink(relative, entry->path(), error);
  }
  return !error;
}

}  // namespace kept

// Keeps the request's source and site folders as they stand (see above), then runs it.
inline site::RunReport runKeeping(const site::RunRequest& request) {
  namespace fs = std::filesystem;
  const char* folder = std::getenv("TREVANTO_KEEP_COLLECTIONS");
  std::error_code error;
  if (folder != nullptr && *folder != '\0' && fs::is_directory(request.sourceFolder, error) &&
      fs::is_directory(request.siteFolder, error)) {
    static std::map<std::string, int> stages;
    const std::string test = kept::currentTestName();
    const fs::path stage = fs::path(folder) / test / std::to_string(++stages[test]);
    fs::remove_all(stage, error);
    const bool whole = kept::copyTree(request.sourceFolder, stage / "source") &&
                       kept::copyTree(request.siteFolder, stage / "site");
    if (whole) {
      std::ofstream options(stage / "options", std::ios::binary);
      if (request.nestedSections) options << "--nested\n";
    } else {
      // A pipe or an unreadable file has no copy: the stage is only named.
      fs::remove_all(stage, error);
      std::ofstream(fs::path(folder) / test / (std::to_string(stages[test]) + ".not-kept"), std::ios::binary)
          << "not kept: its folders hold what cannot be copied (a pipe, an unreadable file)\n";
    }
  }
  return site::runConversion(request);
}

}  // namespace trevanto::testing
