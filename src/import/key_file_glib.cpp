// SPDX-License-Identifier: MIT
// profiles.ini through GLib's key file: its groups and keys as GLib gives them (a group given
// twice is one, a key given twice counts as given last, values unescaped).
#include <glib.h>

#include <memory>

#include "key_file.h"

namespace trevanto::import {
namespace {

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct StrvFree {
  void operator()(gchar** list) const { g_strfreev(list); }
};

}  // namespace

std::optional<KeyFile> KeyFile::read(std::string_view text, std::string& problem) {
  std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
  GError* error = nullptr;
  if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_NONE, &error)) {
    problem = error != nullptr ? error->message : "не читается";
    g_clear_error(&error);
    return std::nullopt;
  }
  KeyFile read;
  const std::unique_ptr<gchar*, StrvFree> groups(g_key_file_get_groups(file.get(), nullptr));
  for (gchar** group = groups.get(); *group != nullptr; ++group) {
    Group entries{*group, {}};
    const std::unique_ptr<gchar*, StrvFree> keys(g_key_file_get_keys(file.get(), *group, nullptr, nullptr));
    for (gchar** key = keys.get(); keys && *key != nullptr; ++key) {
      gchar* value = g_key_file_get_string(file.get(), *group, *key, nullptr);
      if (value == nullptr) continue;  // a value GLib cannot unescape counts as not given
      entries.entries.emplace_back(*key, value);
      g_free(value);
    }
    read.groups_.push_back(std::move(entries));
  }
  return read;
}

}  // namespace trevanto::import
