// SPDX-License-Identifier: MIT
// trevanto-import: bookmarks from browsers' exports, profile files and link files into a
// collection of Internet shortcuts, which trevanto-convert then publishes.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "import/importer.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kWrongUsage = 2;

void printUsage(std::ostream& out) {
  out << "Usage: trevanto-import [--section NAME] INPUT... SOURCE\n"
         "Adds the bookmarks of each INPUT to the shortcut collection SOURCE (created when absent),\n"
         "one Internet shortcut (.url) per bookmark, in a section (subfolder) per bookmark folder.\n"
         "An INPUT is a browser's bookmark export (Netscape HTML), a Chromium-family \"Bookmarks\"\n"
         "file, a Firefox places.sqlite, a link file (.url, .desktop, .webloc) or a folder of them.\n"
         "Nothing is overwritten or deleted; bookmarks already in their section are left alone.\n"
         "  --section NAME  the section for bookmarks outside any folder (default: Закладки)\n"
         "  --help          this text\n"
         "  --version       the program's version\n";
}

}  // namespace

int main(int argc, char** argv) {
  trevanto::import::ImportRequest request;
  std::vector<std::string_view> positional;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "--help" || arg == "-h") {
      printUsage(std::cout);
      return kDone;
    } else if (arg == "--version") {
      std::cout << "trevanto-import " << TREVANTO_VERSION << "\n";
      return kDone;
    } else if (arg == "--section") {
      if (++i == argc) {
        std::cerr << "trevanto-import: --section needs a NAME\n";
        printUsage(std::cerr);
        return kWrongUsage;
      }
      request.namedSection = argv[i];
    } else if (arg.starts_with("--section=")) {
      request.namedSection = arg.substr(std::string_view("--section=").size());
    } else {
      std::cerr << "trevanto-import: unknown option " << arg << "\n";
      printUsage(std::cerr);
      return kWrongUsage;
    }
  }
  if (positional.size() < 2) {
    printUsage(std::cerr);
    return kWrongUsage;
  }
  for (std::size_t i = 0; i + 1 < positional.size(); ++i) request.inputs.emplace_back(positional[i]);
  request.collection = positional.back();

  const trevanto::import::ImportReport report = trevanto::import::runImport(request);
  if (report.failed()) {
    if (report.added > 0 || report.alreadyThere > 0) {
      for (const std::string& line : trevanto::import::importStatisticsLines(report)) std::cout << line << "\n";
    }
    std::cerr << "trevanto-import: " << report.error << "\n";
    return kFailed;
  }
  for (const std::string& line : trevanto::import::importStatisticsLines(report)) std::cout << line << "\n";
  return kDone;
}
