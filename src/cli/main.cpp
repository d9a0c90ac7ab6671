// SPDX-License-Identifier: MIT
// trevanto-convert: the conversion run from a shell, for scripts, cron and benchmarks.
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "base/path_text.h"
#include "site/conversion.h"
#include "site/template_folder.h"
#ifdef TREVANTO_HAS_SAVED_FOLDERS
#include "settings/saved_folders.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: trevanto-convert [--templates DIR] [--nested] SOURCE SITE\n"
    "       trevanto-convert [--templates DIR] [--nested] --settings\n"
    "Converts the Internet shortcuts (*.url) in the subfolders of SOURCE into the framed\n"
    "HTML site in SITE, adding only the links and sections it does not hold yet.\n"
    "\n"
    "  --templates DIR  take the template pages from DIR instead of the program's own\n"
    "                   (../share/trevanto from its folder, or its folder in a build tree)\n"
    "  --nested         each folder below a subfolder becomes a section of its own, named\n"
    "                   by its path (\"Links - Работа - Проекты\"), as trevanto-import names it\n"
    "  --settings       SOURCE and SITE are the folders the window (trevanto) last saved;\n"
    "                   --nested is on when its item \"Вложенные папки — разделы\" was checked\n"
    "  -h, --help       print this help and exit\n"
    "  -v, --version    print the version and exit\n"
    "\n"
    "Exit status: 0 when done, 1 when the run failed (the reason on standard error),\n"
    "2 on wrong usage.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace trevanto;
  base::CommandLine commandLine("trevanto-convert", kUsage, {{"--templates", true, ""}, {"--settings", false, ""}, {"--nested", false, ""}});
  return commandLine.run(argc, argv, [&]() -> int {
    const std::vector<std::string>& positional = commandLine.positional();
    const bool fromSettings = commandLine.has("--settings");
    if (fromSettings && !positional.empty()) return commandLine.usageError("--settings takes no folders");
    if (!fromSettings && positional.size() != 2) return commandLine.usageError("a SOURCE and a SITE folder are needed");
    const std::filesystem::path templates = base::pathOf(commandLine.value("--templates").value_or(std::string()));

    std::filesystem::path source, site;
    bool nested = commandLine.has("--nested");
    if (fromSettings) {
#ifdef TREVANTO_HAS_SAVED_FOLDERS
      const settings::SavedFolders saved = settings::savedFolders();
      if (saved.failed()) return commandLine.failure(saved.error);
      source = saved.source;
      site = saved.site;
      nested = nested || saved.nestedSections;
#else
      return commandLine.usageError("--settings: this build cannot read the window's settings (built without Qt)");
#endif
    } else {
      source = base::pathOf(positional[0]);
      site = base::pathOf(positional[1]);
    }

    site::RunRequest request(source, site,
                             templates.empty() ? site::templateFolder(site::runningProgramFolder()) : templates);
    request.nestedSections = nested;
    const site::RunReport report = site::runConversion(request);

    for (const std::string& line : site::statisticsLines(report)) std::cout << line << "\n";
    if (report.failed()) return commandLine.failure(report.error);
    return base::kExitDone;
  });
}
