// SPDX-License-Identifier: MIT
// trevanto-convert: the conversion run from a shell, for scripts, cron and benchmarks.
#include <clocale>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "site/conversion.h"
#include "site/template_folder.h"

namespace {

constexpr int kDone = 0;
constexpr int kRunFailed = 1;
constexpr int kWrongUsage = 2;

void printUsage(std::ostream& out) {
  out << "Usage: trevanto-convert [--templates DIR] SOURCE SITE\n"
         "Converts the Internet shortcuts (*.url) in the subfolders of SOURCE into the framed\n"
         "HTML site in SITE, adding only the links and sections it does not hold yet.\n"
         "\n"
         "  --templates DIR  take the template pages from DIR instead of the program's own\n"
         "                   (../share/trevanto from its folder, or its folder in a build tree)\n"
         "  -h, --help       print this help and exit\n"
         "  --version        print the version and exit\n"
         "\n"
         "Exit status: 0 when done, 1 when the run failed (the reason on standard error),\n"
         "2 on wrong usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
  // Messages in the user's language, the reasons the system gives included.
  std::setlocale(LC_ALL, "");
  std::vector<std::string_view> positional;
  std::filesystem::path templates;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      printUsage(std::cout);
      return kDone;
    }
    if (arg == "--version") {
      std::cout << "trevanto-convert " TREVANTO_VERSION "\n";
      return kDone;
    }
    if (arg == "--templates") {
      if (++i == argc) {
        printUsage(std::cerr);
        return kWrongUsage;
      }
      templates = argv[i];
    } else if (arg.starts_with("--templates=")) {
      templates = arg.substr(std::string_view("--templates=").size());
    } else if (arg.starts_with("-") && arg != "-") {
      std::cerr << "trevanto-convert: unknown option " << arg << "\n";
      printUsage(std::cerr);
      return kWrongUsage;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) {
    printUsage(std::cerr);
    return kWrongUsage;
  }

  const trevanto::site::RunRequest request(
      positional[0], positional[1],
      templates.empty() ? trevanto::site::templateFolder(trevanto::site::runningProgramFolder()) : templates);
  const trevanto::site::RunReport report = trevanto::site::runConversion(request);

  for (const std::string& line : trevanto::site::statisticsLines(report)) std::cout << line << "\n";
  if (report.failed()) {
    std::cerr << "trevanto-convert: " << report.error << "\n";
    return kRunFailed;
  }
  return kDone;
}
