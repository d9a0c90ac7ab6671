// SPDX-License-Identifier: MIT
#include "site/template_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "site/page_format.h"
#include "test_support.h"

using trevanto::site::templateFolder;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
namespace fs = std::filesystem;

namespace {

void writeTemplates(const fs::path& folder) {
  fs::create_directories(folder);
  for (auto name : trevanto::site::kTemplateNames) writeFile(folder / name, "<html></html>");
}

TEST(TemplateFolderTest, installedTreeWinsThenBuildTreeThenInstalledPlaceIsNamed) {
  TempFolder root;
  const fs::path bin = root / "bin";
  const fs::path share = root / "share" / "trevanto";
  fs::create_directories(bin);

  // Neither place holds them: the installed place is named, so the missing page is reported there.
  EXPECT_EQ(templateFolder(bin), share);

  // Build tree: the pages beside the program.
  writeTemplates(bin);
  EXPECT_EQ(templateFolder(bin), bin.lexically_normal());

  // An installed folder missing one page is passed over for a complete one.
  fs::create_directories(share);
  writeFile(share / "Index.html", "<html></html>");
  EXPECT_EQ(templateFolder(bin), bin.lexically_normal());

  // Installed tree: share/trevanto beside bin/ comes first.
  writeTemplates(share);
  EXPECT_EQ(templateFolder(bin), share);

  // The whole tree moved elsewhere: found relative to the program, wherever it is.
  const fs::path moved = root / "elsewhere";
  fs::create_directories(moved / "bin");
  writeTemplates(moved / "share" / "trevanto");
  EXPECT_EQ(templateFolder(moved / "bin"), moved / "share" / "trevanto");
}

TEST(TemplateFolderTest, runningProgramFolderHoldsThisTest) {
  const fs::path folder = trevanto::site::runningProgramFolder();
  EXPECT_TRUE(folder.is_absolute());
#ifdef _WIN32
  EXPECT_TRUE(fs::exists(folder / "trevanto_engine_tests.exe"));
#else
  EXPECT_TRUE(fs::exists(folder / "trevanto_engine_tests"));
#endif
}

}  // namespace
