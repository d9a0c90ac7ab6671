// SPDX-License-Identifier: MIT
// The history file read back: what this program wrote, what a later version may add, and every
// kind of damage, which is named with the file and never ends the program another way.
#include "check/link_health.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "base/file_error.h"
#include <vector>

namespace trevanto::check {
namespace {

LinkHistory read(const std::string& text) {
  std::istringstream in(text);
  return readHistory(in, "/site/export/link-health.json");
}

TEST(LinkHealthTest, whatIsWritten_readsBackTheSame_andUnknownKeysAreLeftAside) {
  LinkHistory history;
  history.checkStarted = 1'800'000'000;
  history.checkFinished = false;
  recordOutcome(history.links["http://a.test/"], {LinkState::Failing, "HTTP 404"}, 1'800'000'000);
  recordOutcome(history.links["http://a.test/"], {LinkState::Failing, "timeout"}, 1'800'090'000);
  recordOutcome(history.links["http://b.test/%22quoted%22"], {LinkState::Moved, "https://b.test/"}, 1'800'000'100);
  recordOutcome(history.links["http://c.test/"], {LinkState::Ok, {}}, 1'800'000'200);
  const std::string text = historyJson(history);
  const LinkHistory back = read(text);
  EXPECT_EQ(historyJson(back), text);
  EXPECT_TRUE(isDead(back.links.at("http://a.test/")));

  // Keys a later version may add, at any depth, do not disturb the reading.
  const LinkHistory later = read(
      R"({"future":{"deep":[[{"x":[1,{"y":null}]}]]},"format":1,"check":{"started":null,"finished":true,"by":[1]},)"
      R"("links":{"http://d.test/":{"state":"ok","note":{"a":[1,2]},"checked":"2027-01-15T08:00:00Z","failures_in_a_row":0}}})");
  ASSERT_EQ(later.links.size(), 1u);
  EXPECT_EQ(later.links.at("http://d.test/").checkedAt, parseIsoTime("2027-01-15T08:00:00Z"));
  EXPECT_TRUE(later.checkFinished);
}

TEST(LinkHealthTest, aDamagedHistory_isNamedWithTheFile_whateverTheDamage) {
  const std::vector<std::string> damaged = {
      "",
      "[]",
      "1",
      "{}",
      R"({"format":1})",
      R"({"links":{}})",
      R"({"format":"1","links":{}})",
      R"({"format":[1],"links":{}})",
      R"({"format":2,"links":{}})",
      R"({"format":1.0,"links":{}})",
      R"({"format":1,"links":[]})",
      R"({"format":1,"links":{"a":1}})",
      R"({"format":1,"links":{"a":{}}})",
      R"({"format":1,"links":{"a":{"state":"sleeping"}}})",
      R"({"format":1,"links":{"a":{"state":1}}})",
      R"({"format":1,"links":{"a":{"state":"ok","failures_in_a_row":1e300}}})",
      R"({"format":1,"links":{"a":{"state":"ok","failures_in_a_row":-1}}})",
      R"({"format":1,"links":{"a":{"state":"ok","failures_in_a_row":2147483648}}})",
      R"({"format":1,"links":{"a":{"state":"ok","failures_in_a_row":"3"}}})",
      R"({"format":1,"links":{"a":{"state":"ok","checked":"2026-13-01T00:00:00Z"}}})",
      R"({"format":1,"links":{"a":{"state":"ok","checked":"yesterday"}}})",
      R"({"format":1,"links":{"a":{"state":"ok","checked":1800000000}}})",
      R"({"format":1,"links":{"a":{"state":"ok","detail":["x"]}}})",
      R"({"format":1,"links":{"a":{"state":"ok","dead":"no"}}})",
      R"({"format":1,"check":{"finished":1},"links":{}})",
      R"({"format":1,"check":{"started":"now"},"links":{}})",
      R"({"format":1,"check":[],"links":{}})",
      R"({"format":1,"links":{}} trailing)",
      R"({"format":1,"links":{"a":{"state":"ok"})",
      "{\"format\":1,\"links\":{\"a\xFF\":{\"state\":\"ok\"}}}",
  };
  for (const std::string& text : damaged) {
    try {
      read(text);
      ADD_FAILURE() << "read as a history: " << text;
    } catch (const trevanto::base::FileError& problem) {
      EXPECT_NE(std::string(problem.what()).find("/site/export/link-health.json"), std::string::npos) << text;
    }
  }
}

TEST(LinkHealthTest, theLongestRowOfFailures_staysWhereItIs) {
  const LinkHistory history = read(
      R"({"format":1,"links":{"a":{"state":"failing","failing_since":"2026-01-01T00:00:00Z","failures_in_a_row":2147483647}}})");
  LinkRecord record = history.links.at("a");
  ASSERT_EQ(record.failuresInRow, INT_MAX);
  recordOutcome(record, {LinkState::Failing, "timeout"}, parseIsoTime("2026-02-01T00:00:00Z"));
  EXPECT_EQ(record.failuresInRow, INT_MAX);
  EXPECT_TRUE(isDead(record));
}

}  // namespace
}  // namespace trevanto::check
