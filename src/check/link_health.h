// SPDX-License-Identifier: MIT
// What the checks of a site's links found, kept across checks in export/link-health.json: per
// address its state, when it was checked and last answered, and since when and how many checks
// in a row it has failed. One failed check is an outage; a link is dead only when it failed in
// checks at least 20 hours apart with no answer between them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace trevanto::check {

// Seconds since 1970-01-01 UTC.
using UnixTime = std::int64_t;

inline constexpr UnixTime kDeadAfterSeconds = 20 * 60 * 60;

enum class LinkState {
  Ok,       // answered; detail may hold a note (an HTTP 401 or 403: the site is there)
  Moved,    // answered at the end of permanent redirects; detail is that final address
  Failing,  // no usable answer; detail is the reason
};

// What one check of an address found.
struct Outcome {
  LinkState state = LinkState::Ok;
  std::string detail;
};

// The reasons a check fails with, as link-health.json holds them; an HTTP status is "HTTP 404".
namespace reason {
inline constexpr std::string_view kTimeout = "timeout";
inline constexpr std::string_view kRefused = "refused";
inline constexpr std::string_view kUnreachable = "unreachable";  // no route to the host or its network
inline constexpr std::string_view kNameNotFound = "name not found";
inline constexpr std::string_view kTls = "TLS error";
inline constexpr std::string_view kRedirectLoop = "redirect loop";
inline constexpr std::string_view kReset = "reset";
inline constexpr std::string_view kRedirectElsewhere = "redirect to a non-web address";
inline constexpr std::string_view kBadAddress = "bad address";
inline constexpr std::string_view kBadAnswer = "not an HTTP answer";
inline constexpr std::string_view kHeaderTooLong = "header line too long";
// A redirect that led from the link's own address further into the user's network (from the
// Internet to a private, loopback or link-local address, say); it is not followed.
inline constexpr std::string_view kRedirectInward = "redirect into the internal network";
}  // namespace reason

struct LinkRecord {
  LinkState state = LinkState::Ok;
  std::string detail;
  UnixTime checkedAt = 0;
  UnixTime answeredAt = 0;    // the last check it answered in; 0 when none did
  UnixTime failingSince = 0;  // the first failed check of the current row; 0 when not failing
  int failuresInRow = 0;
};

// Failed in at least two checks, the first and the last of the row at least 20 hours apart.
bool isDead(const LinkRecord& record);

// The record after a check at time now that found outcome.
void recordOutcome(LinkRecord& record, const Outcome& outcome, UnixTime now);

struct LinkHistory {
  std::unordered_map<std::string, LinkRecord> links;  // by the address's identity
  // The check under way or last made: when it began and whether it went through every address.
  // An unfinished one is taken up again by the next check.
  UnixTime checkStarted = 0;
  bool checkFinished = true;
};

// Reads link-health.json, each record under its address's identity; a missing file is an empty
// history. Throws base::FileError naming the file when it cannot be read or is not a history this
// program wrote. Read as a stream: time and memory grow with the file alone, and every value is
// checked for its type and range.
LinkHistory readHistory(const std::filesystem::path& file);
// The same from a stream; file only names it in the error.
LinkHistory readHistory(std::istream& in, const std::filesystem::path& file);

// The history as link-health.json holds it, handed to write piece by piece (an entry at a time),
// or as one text.
void writeHistory(const LinkHistory& history, const std::function<void(std::string_view)>& write);
std::string historyJson(const LinkHistory& history);

// "2026-12-07T22:16:54Z", and back (nullopt-like 0 for a text that is not such a time).
std::string isoTime(UnixTime time);
UnixTime parseIsoTime(std::string_view text);

}  // namespace trevanto::check
