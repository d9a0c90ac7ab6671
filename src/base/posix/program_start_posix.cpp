// SPDX-License-Identifier: MIT
// A program's start on a POSIX system: the locale from the environment, the arguments as given.
#include <clocale>
#include <string>
#include <vector>

#include "base/system.h"

namespace trevanto::base {

void prepareProgramStart() { std::setlocale(LC_ALL, ""); }

std::vector<std::string> programArguments(int argc, const char* const* argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace trevanto::base
