// SPDX-License-Identifier: MIT
// The program's name and its author's address, as the windows, messages and settings use them.
#pragma once

namespace trevanto::ui {

inline constexpr char kProgramName[] = "Trevanto";
// A host of the reserved ".example" domain, so the address can never lead anywhere else.
inline constexpr char kWebAddress[] = "trevanto.example";

}  // namespace trevanto::ui
