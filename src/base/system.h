// SPDX-License-Identifier: MIT
// What each system's implementation of the floor provides to the floor's own portable parts.
// Not for the rooms above: they use files.h, process.h and the rest.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "folder_order.h"

namespace trevanto::base {

// What a folder listing keeps. Names are looked at first, so an entry passed over by its name
// (or by a type its folder entry gives) costs nothing more.
struct ListingFilter {
  enum class Types { All, Folders, Files };
  NameFilter name = nullptr;
  Types types = Types::All;
  DotFolders dotFolders = DotFolders::Listed;

  bool keeps(std::string_view entryName, bool isFolder) const {
    if (isFolder && dotFolders == DotFolders::LeftOut && entryName.starts_with('.')) return false;
    if (types == Types::Folders) return isFolder;
    if (types == Types::Files) return !isFolder;
    return true;
  }
};

// Appends the entries of a folder but "." and "..", that keep keeps, in the one name order.
std::error_code listFolderEntries(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                                  ListingFilter keep);

// Syncs one file, or a folder's entries, by path.
std::error_code syncFileAt(const std::filesystem::path& file);
std::error_code syncFolderEntries(const std::filesystem::path& folder);

// The program's start: messages and the system's reasons in the user's language, standard
// output and error taking the program's UTF-8 text as it is.
void prepareProgramStart();
// The program's arguments as UTF-8 text, the program's name first.
std::vector<std::string> programArguments(int argc, const char* const* argv);

// Waits until value no longer holds old (it may return early: callers look again), and wakes
// such waits: the system's own wait on an address, on which std::atomic's wait is built where it
// works (Linux); where the standard library's is built otherwise, a wake can be lost (a reader of
// the read-ahead then sleeps for good).
void waitWhileEquals(const std::atomic<bool>& value, bool old);
void waitWhileEquals(const std::atomic<std::uint64_t>& value, std::uint64_t old);
void wakeOneWaiting(std::atomic<bool>& value);
void wakeAllWaiting(std::atomic<std::uint64_t>& value);

// Voluntary context switches of the calling thread so far: a slow read that raised them waited
// for a disk or a network.
long voluntaryWaitsOfThisThread();

}  // namespace trevanto::base
