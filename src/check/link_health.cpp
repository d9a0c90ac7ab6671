// SPDX-License-Identifier: MIT
#include "link_health.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "site/site_error.h"

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
                     site::systemReason(errno));
  }
  const auto broken = [&file](const std::string& why) {
    return CheckError("История проверок \xC2\xAB" + file.string() + "\xC2\xBB повреждена (" + why +
                      "); уберите или исправьте этот файл");
  };
  json root;
  try {
    root = json::parse(in);
  } catch (const json::exception& problem) {
    throw broken(problem.what());
  }
  if (!root.is_object() || root.value("format", 0) != kFormatVersion || !root.contains("links") ||
      !root["links"].is_object()) {
    throw broken("not a link history of format " + std::to_string(kFormatVersion));
  }
  if (const auto check = root.find("check"); check != root.end() && check->is_object()) {
    history.checkStarted = timeOf(*check, "started");
    history.checkFinished = check->value("finished", true);
  }
  try {
    for (const auto& [address, entry] : root["links"].items()) {
      LinkRecord record;
      if (!entry.is_object() || !stateOfName(entry.value("state", std::string()), record.state)) {
        throw broken("address " + address);
      }
      record.detail = entry.value("detail", std::string());
      record.checkedAt = timeOf(entry, "checked");
      record.answeredAt = timeOf(entry, "answered");
      record.failingSince = timeOf(entry, "failing_since");
      record.failuresInRow = entry.value("failures_in_a_row", 0);
      history.links.emplace(address, std::move(record));
    }
  } catch (const json::exception& problem) {
    throw broken(problem.what());
  }
  return history;
}

std::string historyJson(const LinkHistory& history) {
  json links = json::object();
  for (const auto& [address, record] : history.links) {
    json entry = {
        {"state", stateName(record.state)},
        {"checked", timeOrNull(record.checkedAt)},
        {"answered", timeOrNull(record.answeredAt)},
        {"failing_since", timeOrNull(record.failingSince)},
        {"failures_in_a_row", record.failuresInRow},
        {"dead", isDead(record)},
    };
    if (!record.detail.empty()) entry["detail"] = record.detail;
    links[address] = std::move(entry);
  }
  const json root = {
      {"format", kFormatVersion},
      {"check", {{"started", timeOrNull(history.checkStarted)}, {"finished", history.checkFinished}}},
      {"links", std::move(links)},
  };
  // Addresses and reasons come from pages and servers: bytes that are not UTF-8 are replaced
  // rather than failing the whole file.
  return root.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
}

}  // namespace trevanto::check
