// SPDX-License-Identifier: MIT
// Shared by the importer's fuzz targets: a sink that checks what a reader reports, and the
// names and shortcut each bookmark would become.
#pragma once

#include <string>
#include <string_view>

#include "base/charset.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "import/reader.h"
#include "import/safe_names.h"
#include "import/shortcut_writer.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::fuzz {

// A safe name is UTF-8 within the caps, holds nothing a file system could take amiss, and is
// safe again as it stands.
inline void checkSafeName(std::string_view title) {
  const std::string name = import::safeName(title);
  check(base::isValidUtf8(name), "a safe name is UTF-8", name);
  check(name.size() <= import::kMaxNameBytes, "a safe name keeps the byte cap", name);
  check(name.find_first_of("/\\:*?\"<>|") == std::string::npos, "a safe name holds no separator", name);
  for (char c : name) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a safe name holds no control", name);
  if (!name.empty()) {
    check(name.front() != '.' && name.front() != ' ', "a safe name starts with no dot or blank", name);
    check(name.back() != '.' && name.back() != ' ', "a safe name ends with no dot or blank", name);
  }
  check(name != "." && name != "..", "a safe name is no step up", name);
  check(import::safeName(name) == name, "a safe name stays as it is", name);
}

// The shortcut written for an address holds printable ASCII only and reads back as written.
inline void checkShortcut(std::string_view rawAddress) {
  const std::string address = import::shortcutAddress(rawAddress);
  for (char c : address) {
    const auto b = static_cast<unsigned char>(c);
    check(b > 0x20 && b < 0x7F, "a shortcut address is printable ASCII", address);
  }
  const std::string read = site::readShortcutAddress(import::shortcutText(address));
  const bool quoted = address.size() >= 2 && address.front() == '"' && address.back() == '"';
  check(read == address || (quoted && read == address.substr(1, address.size() - 2)),
        "the converter reads the shortcut's address as written", address);
}

class CheckingSink : public import::BookmarkSink {
 public:
  // Titles as the collecting sink takes them.
  void beginFolder(std::string_view rawTitle) override {
    const std::string title = import::titleAsUtf8(rawTitle);
    check(base::isValidUtf8(title), "a folder title is UTF-8", title);
    checkSafeName(title);
    ++depth_;
  }
  void endFolder() override {
    check(depth_ > 0, "every folder closed was opened");
    --depth_;
  }
  void bookmark(std::string_view rawTitle, std::string_view address) override {
    const std::string title = import::titleAsUtf8(rawTitle);
    check(base::isValidUtf8(title), "a title is UTF-8", title);
    checkSafeName(title);
    checkShortcut(address);
  }
  void skipped(std::string_view, std::string_view) override {}
  void passedOver() override {}
  void finish() const { check(depth_ == 0, "every folder opened is closed"); }

 private:
  long depth_ = 0;
};

}  // namespace trevanto::fuzz
