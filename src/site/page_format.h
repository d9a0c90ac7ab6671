// SPDX-License-Identifier: MIT
// The lines of the pages the program writes, as Windows-1251 bytes without the line end.
#pragma once

#include <string>
#include <string_view>

namespace trevanto::site {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kMenuPageName = "Frame2.html";
inline constexpr std::string_view kPageSuffix = ".html";
// Copied from the program's folder after every menu line, in this order.
inline constexpr std::string_view kTemplateNames[] = {"Frame1.html", "Frame3.html", "Index.html"};

// True when a file name is one of the site's own pages (the menu or a template); with
// LetterCase::Any also when it differs from one only in letter case, as it would on a file
// system that ignores case.
enum class LetterCase { Exact, Any };
bool isOwnPageName(std::string_view fileName, LetterCase letterCase = LetterCase::Exact);

std::string sectionHeaderLine();
// address: as it goes into the page (addressForPage or a text an earlier version wrote);
// linkName: the shortcut's name as the file system holds it, less ".url".
std::string linkLine(std::string_view address, std::string_view rawLinkName);
std::string menuHeaderLine();
// rawSectionName: the subfolder's name as the file system holds it.
std::string menuLine(std::string_view rawSectionName);

}  // namespace trevanto::site
