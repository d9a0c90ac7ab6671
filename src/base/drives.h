// SPDX-License-Identifier: MIT
// The drive letters of a system that names its drives by letter: every drive the system knows,
// with a medium in it or not, as a person picks one in a drive list. A system without drive
// letters has none to give; its volumes are its mount points.
#pragma once

#include <string>
#include <vector>

namespace trevanto::base {

struct DriveLetter {
  enum class Kind { Fixed, Removable, Optical, Network, Memory };
  std::string root;   // the drive's root folder in UTF-8: "C:\"
  Kind kind = Kind::Fixed;
  std::string label;  // the volume's name, a network drive's share ("\\server\share"), or empty
};

// In the order of the letters; empty on a system without drive letters. A drive without a
// medium (an empty card reader) is listed without a label, and is never waited for.
std::vector<DriveLetter> driveLetters();

}  // namespace trevanto::base
