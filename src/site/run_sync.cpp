// SPDX-License-Identifier: MIT
#include "run_sync.h"

#include <vector>

namespace trevanto::site {

void WrittenFiles::sync() {
  base::syncTogether(std::vector<std::string>(files_.begin(), files_.end()),
                     std::vector<std::string>(folders_.begin(), folders_.end()));
  files_.clear();
  folders_.clear();
}

}  // namespace trevanto::site
