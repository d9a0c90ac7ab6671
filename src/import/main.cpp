// SPDX-License-Identifier: MIT
// trevanto-import: bookmarks from browsers' exports, profile files and link files into a
// collection of Internet shortcuts, which trevanto-convert then publishes.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "import/importer.h"

namespace {

constexpr const char* kUsage =
    "Usage: trevanto-import [--section NAME] INPUT... SOURCE\n"
    "Adds the bookmarks of each INPUT to the shortcut collection SOURCE (created when absent),\n"
    "one Internet shortcut (.url) per bookmark, in a section (subfolder) per bookmark folder.\n"
    "An INPUT is a browser's bookmark export (Netscape HTML), a Chromium-family \"Bookmarks\"\n"
    "file, a Firefox places.sqlite, a link file (.url, .desktop, .webloc) or a folder of them.\n"
    "Nothing is overwritten or deleted; bookmarks already in their section are left alone.\n"
    "  --section NAME  the section for bookmarks outside any folder (default: Закладки)\n"
    "  --help          this text\n"
    "  --version       the program's version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace trevanto;
  base::CommandLine commandLine("trevanto-import", kUsage, {{"--section", true, ""}});
  if (const auto exitCode = commandLine.parse(argc, argv)) return *exitCode;
  const std::vector<std::string>& positional = commandLine.positional();
  if (positional.size() < 2) return commandLine.usageError("at least one INPUT and the SOURCE folder are needed");

  import::ImportRequest request;
  request.namedSection = commandLine.value("--section").value_or(std::string());
  for (std::size_t i = 0; i + 1 < positional.size(); ++i) request.inputs.emplace_back(positional[i]);
  request.collection = positional.back();

  const import::ImportReport report = import::runImport(request);
  // A failed import prints its counts only when something was already written.
  if (!report.failed() || report.added > 0 || report.alreadyThere > 0) {
    for (const std::string& line : import::importStatisticsLines(report)) std::cout << line << "\n";
  }
  if (report.failed()) return commandLine.failure(report.error);
  return base::kExitDone;
}
