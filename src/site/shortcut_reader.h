// SPDX-License-Identifier: MIT
// Reading one Internet shortcut file: its address, and the link text that earlier versions
// of the program cut out of it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/files.h"

namespace trevanto::site {

// Shortcut files larger than this are not bookmarks; they are skipped unread.
inline constexpr std::size_t kMaxShortcutBytes = 1024 * 1024;

// --- The link text earlier versions wrote -------------------------------------------------
// Kept exactly as those versions computed it, so that a re-run over a site they built
// recognises their links. Works on the file's bytes as they are.

// Every field of the file, each followed by CR LF. A field ends at a comma, a line end
// (CR LF, lone CR or lone LF) or the end of the file; blanks before a field are skipped;
// a field that begins with a double quote runs to the next one, without the quotes, and any
// text after that closing quote up to the next separator is dropped.
std::string OUT_Path(std::string_view fileBytes);

// The cut: everything after the first "URL" and the one character after it, less the last
// three characters of the text. Empty when the text holds no "URL"; nullopt when too few
// characters follow it for the cut.
std::optional<std::string> Poisk(std::string_view LinkText);

// Poisk(OUT_Path(fileBytes)): the address as earlier versions wrote it into the page.
std::optional<std::string> oldLinkText(std::string_view fileBytes);

// --- The address --------------------------------------------------------------------------

// The shortcut's address as UTF-8, or empty when the file holds none. The value of the first
// "URL" key in the first [InternetShortcut] section, unless an [InternetShortcut.W] section
// holds one (UTF-7, carrying the characters the ANSI copy lost); without either, the first
// line anywhere whose key is "URL".
std::string readShortcutAddress(std::string_view fileBytes);

// The scheme of an address as a browser reads it from a page's href, in lower case and without
// its ':' ("javascript" of "  Java&Tab;Script&colon;x"): character references that give ASCII
// decoded, blanks and controls before it and tabs and line breaks within it dropped. Empty when
// no ':' ends a scheme of at most 15 characters.
std::string schemeAsRead(std::string_view address);

// The one rule of what runs code: true for addresses whose scheme (schemeAsRead) runs code when
// opened from a page (javascript:, vbscript:, data:). The converter leaves them out of the
// pages, the importer skips them, and the search's isSafeAddress (templates/search.js) is its
// copy, checked against it over the table tests/runs_code_addresses.json.
bool isUnsafeAddress(std::string_view address);

// --- The file -----------------------------------------------------------------------------

// A shortcut file read whole: its bytes, or why not (base::ReadProblem).
using ShortcutFile = base::FileRead;

// Reads a shortcut file whole, never blocking on a FIFO or device and never reading more
// than kMaxShortcutBytes.
ShortcutFile loadShortcutFile(const std::filesystem::path& path);

}  // namespace trevanto::site
