// SPDX-License-Identifier: MIT
// A POSIX system has no drive letters: its volumes are mount points.
#include "base/drives.h"

namespace trevanto::base {

std::vector<DriveLetter> driveLetters() { return {}; }

}  // namespace trevanto::base
