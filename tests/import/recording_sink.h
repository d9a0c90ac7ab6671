// SPDX-License-Identifier: MIT
// A sink for the importer's tests that writes down what a reader reports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/reader.h"

namespace trevanto::testing {

// Writes down what a reader reports: "+Folder", "-", "Title = address", "skip Title: reason".
class RecordingSink : public import::BookmarkSink {
 public:
  void beginFolder(std::string_view title) override { events.push_back("+" + std::string(title)); }
  void endFolder() override { events.push_back("-"); }
  void bookmark(std::string_view title, std::string_view address) override {
    events.push_back(std::string(title) + " = " + std::string(address));
  }
  void skipped(std::string_view title, std::string_view reason) override {
    events.push_back("skip " + std::string(title) + ": " + std::string(reason));
  }
  void passedOver() override { ++passed; }
  std::vector<std::string> events;
  int passed = 0;
};

}  // namespace trevanto::testing
