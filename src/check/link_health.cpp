// SPDX-License-Identifier: MIT
#include "link_health.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <istream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "address/address_identity.h"
#include "base/file_error.h"
#include "base/process.h"

namespace trevanto::check {
namespace {

using nlohmann::json;

constexpr int kFormatVersion = 1;

std::string_view stateName(LinkState state) {
  switch (state) {
    case LinkState::Ok:
      return "ok";
    case LinkState::Moved:
      return "moved";
    case LinkState::Failing:
      return "failing";
  }
  return "ok";
}

bool stateOfName(std::string_view name, LinkState& state) {
  for (LinkState candidate : {LinkState::Ok, LinkState::Moved, LinkState::Failing}) {
    if (stateName(candidate) == name) {
      state = candidate;
      return true;
    }
  }
  return false;
}

json timeOrNull(UnixTime time) { return time == 0 ? json(nullptr) : json(isoTime(time)); }

}  // namespace

bool isDead(const LinkRecord& record) {
  return record.state == LinkState::Failing && record.failuresInRow >= 2 &&
         record.checkedAt - record.failingSince >= kDeadAfterSeconds;
}

void recordOutcome(LinkRecord& record, const Outcome& outcome, UnixTime now) {
  record.state = outcome.state;
  record.detail = outcome.detail;
  record.checkedAt = now;
  if (outcome.state == LinkState::Failing) {
    if (record.failuresInRow == 0) record.failingSince = now;
    if (record.failuresInRow < std::numeric_limits<int>::max()) ++record.failuresInRow;
  } else {
    record.answeredAt = now;
    record.failingSince = 0;
    record.failuresInRow = 0;
  }
}

std::string isoTime(UnixTime time) {
  const auto seconds = static_cast<std::time_t>(time);
  const std::optional<std::tm> parts = base::utcTimeParts(seconds);
  if (!parts) return {};
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &*parts);
  return std::string(text, length);
}

UnixTime parseIsoTime(std::string_view text) {
  std::tm parts{};
  int consumed = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                  &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 6 ||
      static_cast<std::size_t>(consumed) != copy.size()) {
    return 0;
  }
  // Each part within its range (a second of 60 is a leap second), the year from 1970 on.
  if (parts.tm_year < 1970 || parts.tm_year > 9999 || parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 ||
      parts.tm_mday > 31 || parts.tm_hour < 0 || parts.tm_hour > 23 || parts.tm_min < 0 || parts.tm_min > 59 ||
      parts.tm_sec < 0 || parts.tm_sec > 60) {
    return 0;
  }
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  // A day past a month's end moves on into the next, but never past the last year written.
  constexpr UnixTime kYear10000 = 253'402'300'800;
  const auto time = static_cast<UnixTime>(base::utcTimeOf(parts));
  return time < kYear10000 ? time : 0;
}

namespace {

// Reads the history as a stream of parse events, keeping nothing of the text but the entry being
// read: time and memory grow with the file, whatever its shape. Every value is checked for its
// type and range; the first that does not fit stops the reading with the reason.
class HistoryReader final : public json::json_sax_t {
 public:
  explicit HistoryReader(LinkHistory& history) : history_(history) {}

  const std::string& problem() const { return problem_; }
  // Whether the text was a whole history: the format named, the links there.
  bool complete() const { return where_ == Where::Done && formatSeen_ && linksSeen_; }

  bool null() override { return scalar(Value::Null); }
  bool boolean(bool value) override {
    boolean_ = value;
    return scalar(Value::Boolean);
  }
  bool number_integer(number_integer_t value) override {
    number_ = value;
    if (value < 0) return scalar(Value::Negative);
    return scalar(value > std::numeric_limits<int>::max() ? Value::OtherNumber : Value::Count);
  }
  bool number_unsigned(number_unsigned_t value) override {
    if (value > static_cast<number_unsigned_t>(std::numeric_limits<int>::max())) return scalar(Value::OtherNumber);
    number_ = static_cast<number_integer_t>(value);
    return scalar(Value::Count);
  }
  bool number_float(number_float_t, const string_t&) override { return scalar(Value::OtherNumber); }
  bool string(string_t& value) override {
    text_ = std::move(value);
    return scalar(Value::Text);
  }
  bool binary(binary_t&) override { return scalar(Value::OtherNumber); }

  bool start_object(std::size_t) override {
    if (skipping_ > 0) return ++skipping_, true;
    switch (where_) {
      case Where::Outside:
        where_ = Where::Root;
        return true;
      case Where::Root:
        if (key_ == "check") return where_ = Where::Check, true;
        if (key_ == "links") return linksSeen_ = true, where_ = Where::Links, true;
        if (key_ == "format") return fail("not a link history of format " + std::to_string(kFormatVersion));
        return skipping_ = 1, true;
      case Where::Links:
        record_ = {};
        stateSeen_ = false;
        where_ = Where::Entry;
        return true;
      case Where::Check:
      case Where::Entry:
        if (known()) return fail(wrongType());
        return skipping_ = 1, true;
      case Where::Done:
        break;
    }
    return fail("not a link history");
  }

  bool end_object() override {
    if (skipping_ > 0) return --skipping_, true;
    switch (where_) {
      case Where::Root:
        where_ = Where::Done;
        return true;
      case Where::Check:
      case Where::Links:
        where_ = Where::Root;
        return true;
      case Where::Entry:
        if (!stateSeen_) return fail("address " + address_ + ": no state");
        keep();
        where_ = Where::Links;
        return true;
      case Where::Outside:
      case Where::Done:
        break;
    }
    return fail("not a link history");
  }

  bool start_array(std::size_t) override {
    if (skipping_ > 0) return ++skipping_, true;
    if (where_ == Where::Outside || where_ == Where::Links || known()) return fail(wrongType());
    return skipping_ = 1, true;
  }
  bool end_array() override { return --skipping_, true; }

  bool key(string_t& value) override {
    if (skipping_ > 0) return true;
    if (where_ == Where::Links) {
      address_ = std::move(value);
    } else {
      key_ = std::move(value);
    }
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
    return fail(error.what());
  }

 private:
  enum class Where { Outside, Root, Check, Links, Entry, Done };
  enum class Value { Null, Boolean, Count, Negative, OtherNumber, Text };

  // Kept by identity: two spellings a history of an earlier version holds become one record, the
  // one checked last.
  void keep() {
    const auto [kept, added] = history_.links.try_emplace(address::addressIdentity(address_), record_);
    if (!added && kept->second.checkedAt < record_.checkedAt) kept->second = std::move(record_);
  }

  bool fail(std::string why) {
    if (problem_.empty()) problem_ = std::move(why);
    return false;
  }

  // Whether the current key is one this program gives a meaning to at the current place.
  bool known() const {
    static constexpr std::string_view kCheckKeys[] = {"started", "finished"};
    static constexpr std::string_view kEntryKeys[] = {"state", "detail", "checked", "answered", "failing_since",
                                                      "failures_in_a_row", "dead"};
    if (where_ == Where::Root) return key_ == "format" || key_ == "check" || key_ == "links";
    if (where_ == Where::Check) return std::find(std::begin(kCheckKeys), std::end(kCheckKeys), key_) != std::end(kCheckKeys);
    if (where_ == Where::Entry) return std::find(std::begin(kEntryKeys), std::end(kEntryKeys), key_) != std::end(kEntryKeys);
    return false;
  }

  std::string wrongType() const {
    if (where_ == Where::Outside) return "not a link history";
    if (where_ == Where::Root) return "\"" + key_ + "\" of the wrong type";
    if (where_ == Where::Check) return "check: \"" + key_ + "\" of the wrong type";
    if (where_ == Where::Links) return "address " + address_ + ": not an entry";
    return "address " + address_ + ": \"" + key_ + "\" of the wrong type or out of range";
  }

  // A time or null (none); anything else does not fit.
  bool timeValue(Value value, UnixTime& time) {
    if (value == Value::Null) return time = 0, true;
    if (value != Value::Text) return false;
    time = parseIsoTime(text_);
    return time != 0;
  }

  bool scalar(Value value) {
    if (skipping_ > 0) return true;
    switch (where_) {
      case Where::Root:
        if (key_ == "format") {
          if (value != Value::Count || number_ != kFormatVersion) {
            return fail("not a link history of format " + std::to_string(kFormatVersion));
          }
          formatSeen_ = true;
          return true;
        }
        return !known() || fail(wrongType());
      case Where::Check:
        if (key_ == "started") return timeValue(value, history_.checkStarted) || fail(wrongType());
        if (key_ == "finished") return (value == Value::Boolean && (history_.checkFinished = boolean_, true)) || fail(wrongType());
        return true;
      case Where::Entry:
        return entryValue(value) || fail(wrongType());
      case Where::Links:
        return fail(wrongType());
      case Where::Outside:
      case Where::Done:
        break;
    }
    return fail("not a link history");
  }

  bool entryValue(Value value) {
    if (key_ == "state") return value == Value::Text && (stateSeen_ = stateOfName(text_, record_.state));
    if (key_ == "detail") return value == Value::Text && (record_.detail = std::move(text_), true);
    if (key_ == "checked") return timeValue(value, record_.checkedAt);
    if (key_ == "answered") return timeValue(value, record_.answeredAt);
    if (key_ == "failing_since") return timeValue(value, record_.failingSince);
    if (key_ == "failures_in_a_row") {
      return value == Value::Count && (record_.failuresInRow = static_cast<int>(number_), true);
    }
    if (key_ == "dead") return value == Value::Boolean;
    return true;
  }

  LinkHistory& history_;
  Where where_ = Where::Outside;
  int skipping_ = 0;  // how deep inside a value of no meaning here
  std::string key_;
  std::string address_;
  std::string text_;
  number_integer_t number_ = 0;
  bool boolean_ = false;
  LinkRecord record_;
  bool stateSeen_ = false;
  bool formatSeen_ = false;
  bool linksSeen_ = false;
  std::string problem_;
};

}  // namespace

LinkHistory readHistory(std::istream& in, const std::filesystem::path& file) {
  LinkHistory history;
  HistoryReader reader(history);
  bool parsed = false;
  try {
    parsed = json::sax_parse(in, &reader);
  } catch (const json::exception& problem) {
    // The reader stops at its first problem, so only the parser's own limits end up here.
    parsed = false;
    if (reader.problem().empty()) {
      throw base::FileError::worded("История проверок ", file,
                                    " повреждена (" + std::string(problem.what()) + "); уберите или исправьте этот файл");
    }
  }
  if (!parsed || !reader.complete()) {
    const std::string why =
        reader.problem().empty() ? "not a link history of format " + std::to_string(kFormatVersion) : reader.problem();
    throw base::FileError::worded("История проверок ", file, " повреждена (" + why + "); уберите или исправьте этот файл");
  }
  return history;
}

LinkHistory readHistory(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return {};
    throw base::FileError("Не удалось прочитать историю проверок", file, base::systemReason(errno));
  }
  return readHistory(in, file);
}

void writeHistory(const LinkHistory& history, const std::function<void(std::string_view)>& write) {
  // Addresses and reasons come from pages and servers: bytes that are not UTF-8 are replaced
  // rather than failing the whole file.
  const auto text = [](const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); };
  const json check = {{"started", timeOrNull(history.checkStarted)}, {"finished", history.checkFinished}};
  write("{\n\"format\": " + std::to_string(kFormatVersion) + ",\n\"check\": " + text(check) + ",\n\"links\": {");
  // One entry at a time, in the order of the addresses, so that the file compares well.
  std::vector<const std::pair<const std::string, LinkRecord>*> entries;
  entries.reserve(history.links.size());
  for (const auto& entry : history.links) entries.push_back(&entry);
  std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
  bool first = true;
  for (const auto* entry : entries) {
    const LinkRecord& record = entry->second;
    json fields = {
        {"state", stateName(record.state)},
        {"checked", timeOrNull(record.checkedAt)},
        {"answered", timeOrNull(record.answeredAt)},
        {"failing_since", timeOrNull(record.failingSince)},
        {"failures_in_a_row", record.failuresInRow},
        {"dead", isDead(record)},
    };
    if (!record.detail.empty()) fields["detail"] = record.detail;
    write((first ? "\n" : ",\n") + text(json(entry->first)) + ": " + text(fields));
    first = false;
  }
  write("\n}\n}\n");
}

std::string historyJson(const LinkHistory& history) {
  std::string out;
  writeHistory(history, [&out](std::string_view piece) { out += piece; });
  return out;
}

}  // namespace trevanto::check
