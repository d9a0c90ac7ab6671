// SPDX-License-Identifier: MIT
// Where a program finds the template pages: in share/trevanto beside its bin/ folder when
// installed, or in its own folder in the build tree. Both are taken relative to the program, so
// an installed tree keeps working when it is moved as a whole.
#pragma once

#include <filesystem>

namespace trevanto::site {

// The folder that holds the running program, from /proc/self/exe with links resolved; the
// current folder when that cannot be read.
std::filesystem::path runningProgramFolder();

// The first of <programFolder>/../share/trevanto and <programFolder> that holds every template
// page; the first one when neither does, so that a missing template is reported where an
// installed program looks for it.
std::filesystem::path templateFolder(const std::filesystem::path& programFolder);

}  // namespace trevanto::site
