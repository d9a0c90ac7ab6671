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

// A Netscape bookmark file: the export of every browser and of most bookmark services. A NUL
// byte reads as U+FFFD, as in a browser, and the rest of the file is read on. Throws
// UnreadableError when the text grows past kMaxBookmarkFileBytes in its conversion to UTF-8, or
// when the markup is so broken that recovering from it would take longer than reading any export
// (more than kMaxRecoveryWork).
void readNetscapeBookmarks(std::string bytes, BookmarkSink& sink);
inline constexpr std::size_t kMaxBookmarkFileBytes = std::size_t{1} << 30;
// The parser's work on broken markup, counted per error as the depth of the open elements it
// looks through: far past what the worst export seen needs, and a second or so of parsing.
inline constexpr std::size_t kMaxRecoveryWork = 100'000'000;
// The charset a Netscape file's META declares, or empty.
std::string declaredHtmlCharset(std::string_view bytes);

// A Chromium-family "Bookmarks" file from a browser's profile folder.
void readChromiumBookmarks(std::string_view bytes, BookmarkSink& sink);

// An XBEL file (the XML bookmark exchange format). Throws FormatError when the bytes are no XML
// document with an <xbel> root, UnreadableError when the XML is broken after that, its folders
// nest deeper than kMaxXbelDepth, or a text passes the parser's caps.
void readXbelBookmarks(std::string_view bytes, BookmarkSink& sink);
inline constexpr int kMaxXbelDepth = 200;

// A single link file: an Internet shortcut, a freedesktop link or a property list (.webloc).
LinkFile readInternetShortcut(std::string_view bytes);
LinkFile readDesktopEntry(std::string_view bytes);
LinkFile readPropertyList(std::string_view bytes);
// Whichever kind of link file of the registry the bytes are (fileReaders() with extensions).
LinkFile readLinkFile(std::string_view bytes);

// A link file's title: its file name, as the file system holds it, without the extension.
std::string linkFileTitle(std::string_view rawFileName);

// A reader of one kind of link file, whose files end in extension: recognise looks at the head
// (parse is tried on it when there is none); the bookmark's title is the file's name.
std::unique_ptr<Reader> makeLinkFileReader(std::string_view name, std::string_view extension,
                                           LinkFile (*parse)(std::string_view), bool (*recognise)(std::string_view));

// The readers behind the Reader interface, one per format (each in its own file).
std::unique_ptr<Reader> makePlacesReader();
std::unique_ptr<Reader> makePropertyListReader();
std::unique_ptr<Reader> makeInternetShortcutReader();
std::unique_ptr<Reader> makeDesktopEntryReader();
std::unique_ptr<Reader> makeChromiumReader();
std::unique_ptr<Reader> makeNetscapeReader();
std::unique_ptr<Reader> makeXbelReader();

// A folder of link files; its subfolders are folders as in an export.
void readLinkFolder(const std::filesystem::path& folder, BookmarkSink& sink);

}  // namespace trevanto::import
