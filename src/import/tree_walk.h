// SPDX-License-Identifier: MIT
// The one walk over a tree of bookmark folders, depth first in the order the source holds
// them, with a stack of its own so that no depth of nesting exhausts the program's stack.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace trevanto::import {

// List is a handle to one folder's children: (*list)[i] and list->size(). visit(child, level)
// handles one child of a list at that level (the top list is level 0) and returns the list of
// the child's own children when the walk is to go into it; leave(level) is called when such a
// list, at that level, is done.
template <typename List, typename Visit, typename Leave>
void walkTree(List top, Visit visit, Leave leave) {
  struct Level {
    List list;
    std::size_t next;
  };
  std::vector<Level> levels;
  levels.push_back({std::move(top), 0});
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.list->size()) {
      levels.pop_back();
      if (!levels.empty()) leave(levels.size());
      continue;
    }
    std::optional<List> inner = visit((*level.list)[level.next++], levels.size() - 1);
    if (inner) levels.push_back({std::move(*inner), 0});
  }
}

}  // namespace trevanto::import
