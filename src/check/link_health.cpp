// SPDX-License-Identifier: MIT
#include "link_health.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "address/address_identity.h"
#include "base/file_error.h"

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

UnixTime timeOf(const json& entry, const char* key) {
  const auto found = entry.find(key);
  if (found == entry.end() || !found->is_string()) return 0;
  return parseIsoTime(found->get<std::string>());
}

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
    if (record.failuresInRow++ == 0) record.failingSince = now;
  } else {
    record.answeredAt = now;
    record.failingSince = 0;
    record.failuresInRow = 0;
  }
}

std::string isoTime(UnixTime time) {
  const auto seconds = static_cast<std::time_t>(time);
  std::tm parts{};
  if (::gmtime_r(&seconds, &parts) == nullptr) return {};
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
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
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  return static_cast<UnixTime>(::timegm(&parts));
}

LinkHistory readHistory(const std::filesystem::path& file) {
  LinkHistory history;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return history;
    throw CheckError("Не удалось прочитать историю проверок \xC2\xAB" + file.string() + "\xC2\xBB: " +
                     base::systemReason(errno));
  }
  const auto broken = [&file](const std::string& why) {
    return CheckError("История проверок \xC2\xAB" + file.string() + "\xC2\xBB повреждена (" + why +
                      "); уберите или исправьте этот файл");
  };
  // Each address's entry is taken into the history as soon as it is read and then dropped, so
  // the whole file never stands as one tree in memory.
  std::string key;
  std::string badAddress;
  bool sawLinks = false;
  const json::parser_callback_t takeEntry = [&](int depth, json::parse_event_t event, json& parsed) {
    if (depth == 1 && event == json::parse_event_t::key && parsed == "links") sawLinks = true;
    if (depth != 2) return true;
    if (event == json::parse_event_t::key) {
      key = parsed.get<std::string>();
    } else if (event == json::parse_event_t::object_end) {
      LinkRecord record;
      if (!stateOfName(parsed.value("state", std::string()), record.state)) {
        if (badAddress.empty()) badAddress = key;
        return false;
      }
      record.detail = parsed.value("detail", std::string());
      record.checkedAt = timeOf(parsed, "checked");
      record.answeredAt = timeOf(parsed, "answered");
      record.failingSince = timeOf(parsed, "failing_since");
      record.failuresInRow = parsed.value("failures_in_a_row", 0);
      // Kept by identity: two spellings a history of an earlier version holds become one
      // record, the one checked last.
      const auto [kept, added] = history.links.try_emplace(address::addressIdentity(key), record);
      if (!added && kept->second.checkedAt < record.checkedAt) kept->second = std::move(record);
      return false;
    }
    return true;
  };
  json root;
  try {
    root = json::parse(in, takeEntry);
  } catch (const json::exception& problem) {
    throw broken(problem.what());
  }
  if (!root.is_object() || root.value("format", 0) != kFormatVersion || !sawLinks) {
    throw broken("not a link history of format " + std::to_string(kFormatVersion));
  }
  if (!badAddress.empty()) throw broken("address " + badAddress);
  if (const auto check = root.find("check"); check != root.end() && check->is_object()) {
    history.checkStarted = timeOf(*check, "started");
    history.checkFinished = check->value("finished", true);
  }
  return history;
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
