// SPDX-License-Identifier: MIT
// export/duplicates.html: every address that stands in more than one section, by the identity of
// an address (two spellings of one URL are one address), with its name in each section; nothing
// is removed anywhere. And export/duplicates.js, which shows the link to that page on the start
// page and the one-page view when there is any such address.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "site_export.h"

namespace trevanto::site {

inline constexpr std::string_view kDuplicatesPageName = "duplicates.html";
inline constexpr std::string_view kDuplicatesScriptName = "duplicates.js";

class DuplicateFinder {
 public:
  void beginSection(const MenuSection& section);
  void link(const PageLink& link);

  // How many addresses stand in more than one section.
  std::size_t count() const;
  // The page and the script, each whole. Throw base::FileError naming the file.
  void writePage(const std::filesystem::path& path) const;
  void writeScript(const std::filesystem::path& path) const;

  std::string page() const;
  std::string script() const;

 private:
  struct Place {
    std::size_t section;
    std::string name;     // the link's name there
    std::string address;  // its spelling there
  };
  struct Address {
    std::string identity;
    std::vector<Place> places;  // one per section, the first link of it there
    std::size_t sections = 0;
  };
  std::vector<MenuSection> sections_;
  std::unordered_map<std::string, std::size_t> byIdentity_;  // into addresses_
  std::vector<Address> addresses_;                           // in the order first met
};

}  // namespace trevanto::site
