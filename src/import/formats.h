// SPDX-License-Identifier: MIT
// The readers of each format, over bytes, and the readers that stand behind the Reader
// interface. Readers over bytes throw FormatError when the bytes are not of their format.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "reader.h"

namespace trevanto::import {

class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A Netscape bookmark file: the export of every browser and of most bookmark services.
void readNetscapeBookmarks(std::string bytes, BookmarkSink& sink);
// The charset a Netscape file's META declares, or empty.
std::string declaredHtmlCharset(std::string_view bytes);

// A Chromium-family "Bookmarks" file from a browser's profile folder.
void readChromiumBookmarks(std::string_view bytes, BookmarkSink& sink);

// A single link file: an Internet shortcut, a freedesktop link or a property list (.webloc).
struct LinkFile {
  bool known = false;   // of one of these kinds
  std::string address;  // UTF-8; empty when the file holds none
};
LinkFile readInternetShortcut(std::string_view bytes);
LinkFile readDesktopEntry(std::string_view bytes);
LinkFile readPropertyList(std::string_view bytes);
// Whichever of the three the bytes are.
LinkFile readLinkFile(std::string_view bytes);

// A link file's title: its file name (as the file system holds it) without the extension.
std::string linkFileTitle(std::string_view rawFileName);

// Every reader of a single file, in the order they are asked to recognise it.
const std::vector<std::unique_ptr<Reader>>& fileReaders();

// A folder of link files; its subfolders are folders as in an export.
void readLinkFolder(const std::filesystem::path& folder, BookmarkSink& sink);

}  // namespace trevanto::import
