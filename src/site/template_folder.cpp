// SPDX-License-Identifier: MIT
#include "template_folder.h"

#include <algorithm>
#include <system_error>

#include "base/files.h"
#include "page_format.h"

namespace trevanto::site {

namespace fs = std::filesystem;

fs::path runningProgramFolder() {
  std::error_code error;
  const fs::path self = base::runningProgramFile(error);
  if (error) return fs::current_path(error);
  return self.parent_path();
}

fs::path templateFolder(const fs::path& programFolder) {
  const fs::path installed = programFolder / ".." / "share" / "trevanto";
  for (const fs::path& folder : {installed, programFolder}) {
    const bool holdsAll = std::all_of(std::begin(kTemplateNames), std::end(kTemplateNames), [&](auto name) {
      std::error_code error;
      return fs::is_regular_file(folder / name, error);
    });
    if (holdsAll) return folder.lexically_normal();
  }
  return installed.lexically_normal();
}

}  // namespace trevanto::site
