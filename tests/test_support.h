// SPDX-License-Identifier: MIT
// Temporary folders and small file helpers for tests of whole runs.
#pragma once

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/files.h"

namespace trevanto::testing {

inline void setVariable(const char* name, const char* value) {
#ifdef _WIN32
  ::_putenv_s(name, value);
#else
  ::setenv(name, value, 1);
#endif
}

inline void unsetVariable(const char* name) {
#ifdef _WIN32
  ::_putenv_s(name, "");
#else
  ::unsetenv(name);
#endif
}

// The lines a run writes, spelled out here rather than taken from the engine, so a test
// notices when the engine writes them differently: a section page's link line and a menu line.
inline std::string linkOf(const std::string& address, const std::string& name) {
  return "<a href=\"" + address + "\" target=index>" + name + "</a><br>\r\n";
}
inline std::string menuOf(const std::string& reference, const std::string& name) {
  return "<a href=\"" + reference + "\"target=Frame3>" + name + "</a><br />\r\n";
}

// The user's language for this process and the programs it starts (LC_ALL), until it goes.
// usable() is false where the system lacks that locale.
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) {
    const char* before = std::setlocale(LC_ALL, nullptr);
    before_ = before != nullptr ? before : "C";
    if (const char* variable = std::getenv("LC_ALL")) variable_ = variable;
    usable_ = std::setlocale(LC_ALL, name) != nullptr;
    if (usable_) setVariable("LC_ALL", name);
  }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;
  ~LocaleScope() {
    std::setlocale(LC_ALL, before_.c_str());
    if (variable_) {
      setVariable("LC_ALL", variable_->c_str());
    } else {
      unsetVariable("LC_ALL");
    }
  }
  bool usable() const { return usable_; }

 private:
  std::string before_;
  std::optional<std::string> variable_;
  bool usable_ = false;
};

}  // namespace trevanto::testing
