// SPDX-License-Identifier: MIT
// macOS .webloc files: a property list (XML or binary) whose URL key holds the address.
#include <plist/plist.h>

#include <cstdint>
#include <memory>

#include "base/charset.h"
#include "formats.h"
#include "site/shortcut_reader.h"

namespace trevanto::import {
namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};

// A property list of any size; one that is no .webloc is of no known kind.
bool looksLikePropertyList(std::string_view head) {
  return head.starts_with("bplist00") || head.substr(0, 1024).find("<plist") != std::string_view::npos;
}

}  // namespace

LinkFile readPropertyList(std::string_view bytes) {
  LinkFile link;
  if (!looksLikePropertyList(bytes) || bytes.size() > site::kMaxShortcutBytes) return link;
  plist_t parsed = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
  const std::unique_ptr<void, PlistFree> root(parsed);
  if (root == nullptr || plist_get_node_type(root.get()) != PLIST_DICT) return link;
  const plist_t url = plist_dict_get_item(root.get(), "URL");
  if (url == nullptr) return link;
  link.known = true;
  if (plist_get_node_type(url) == PLIST_STRING) {
    // By pointer and length: the library asserts on a string holding a NUL when copying it.
    std::uint64_t length = 0;
    const char* value = plist_get_string_ptr(url, &length);
    if (value != nullptr)
      link.address = base::fileNameToUtf8(std::string_view(value, static_cast<std::size_t>(length)));
  }
  return link;
}

std::unique_ptr<Reader> makePropertyListReader() {
  return makeLinkFileReader("ярлык", "webloc", readPropertyList, looksLikePropertyList);
}

}  // namespace trevanto::import
