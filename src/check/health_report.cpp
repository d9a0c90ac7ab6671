// SPDX-License-Identifier: MIT
#include "health_report.h"

#include <cstdio>
#include <ctime>
#include <unordered_set>

#include "base/process.h"
#include "site/text_encoding.h"

namespace trevanto::check {
namespace {

// The record of an address by its identity.
const LinkRecord* recordOf(const LinkHistory& history, const std::string& identity) {
  const auto found = history.links.find(identity);
  return found == history.links.end() || found->second.checkedAt == 0 ? nullptr : &found->second;
}

// A time as the clock of the machine that checked showed it, with its offset from UTC, so that
// a reader elsewhere can tell: "2026-12-08 21:15 MSK (UTC+03:00)".
std::string localTime(UnixTime time) {
  const auto seconds = static_cast<std::time_t>(time);
  const std::optional<std::tm> local = base::localTimeParts(seconds);
  if (!local) return isoTime(time);
  char text[64];
  std::string shown(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &*local));
  if (const std::string zone = base::localZoneName(*local); !zone.empty()) shown += " " + zone;
  // The offset is the difference between the local calendar and UTC's at that moment.
  const long long offset = static_cast<long long>(base::utcTimeOf(*local)) - static_cast<long long>(seconds);
  const long long minutes = (offset < 0 ? -offset : offset) / 60;
  std::snprintf(text, sizeof text, " (UTC%c%02lld:%02lld)", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return shown + text;
}

std::string link(std::string_view address, std::string_view text) {
  return "<a href=\"" + site::htmlTextUtf8(address) + "\" target=\"_blank\" rel=\"noopener noreferrer\">" +
         site::htmlTextUtf8(text) + "</a>";
}

// Each link of the site whose record the test picks, by section, an address once per section.
template <typename Item>
std::string listBySection(const SiteLinks& links, const LinkHistory& history, std::size_t& entries, Item item) {
  std::string page;
  for (const SiteSection& section : links.sections) {
    std::string items;
    std::unordered_set<std::string_view> listed;
    for (const site::PageLink& entry : section.links) {
      const std::string& identity = links.identityOf(entry.address);
      const LinkRecord* record = recordOf(history, identity);
      if (record == nullptr) continue;
      std::string shown = item(entry, *record);
      if (shown.empty() || !listed.insert(identity).second) continue;
      items += shown;
      ++entries;
    }
    if (!items.empty()) page += "<h3>" + site::htmlTextUtf8(section.name) + "</h3>\n<ul>\n" + items + "</ul>\n";
  }
  return page;
}

// The link, its address, why it fails, since when, and when it last answered.
std::string failureItem(const site::PageLink& entry, const LinkRecord& record) {
  return "<li>" + link(entry.address, entry.name.empty() ? entry.address : entry.name) +
         "<br><span class=\"address\">" + site::htmlTextUtf8(entry.address) + "</span><br><span class=\"reason\">" +
         site::htmlTextUtf8(reasonText(record.detail)) + "</span>; не отвечает с " + localTime(record.failingSince) +
         "; " +
         (record.answeredAt != 0 ? "последний ответ " + localTime(record.answeredAt) : std::string("ни разу не ответила"));
}

std::string sharedAddressNote(std::size_t entries, std::size_t addresses) {
  if (entries <= addresses) return {};
  return "<p class=\"note\">Адрес, стоящий в нескольких разделах, показан в каждом из них, а посчитан один раз "
         "(адресов: " +
         std::to_string(addresses) + ", записей: " + std::to_string(entries) + ").</p>\n";
}

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Проверка ссылок</title>
<style>
  :root { color-scheme: light dark; }
  body { font: 16px/1.45 sans-serif; margin: 0 auto; max-width: 62em; padding: 12px 16px 40px;
         color: #1b1b1b; background: #fff; }
  h1 { font-size: 1.5em; margin: 0.4em 0; }
  h2 { font-size: 1.25em; margin: 1.6em 0 0.4em; border-bottom: 1px solid #ccc; }
  h3 { font-size: 1.05em; margin: 1.1em 0 0.2em; }
  ul { list-style: none; padding: 0; margin: 0; }
  li { margin: 0 0 0.9em; overflow-wrap: anywhere; }
  .address, .note { color: #4d4d4d; font-size: 0.9em; }
  .reason { color: #a00000; }
  table { border-collapse: collapse; }
  td { padding: 2px 16px 2px 0; }
  td.n { text-align: right; font-variant-numeric: tabular-nums; }
  a { color: #0645ad; }
  @media (prefers-color-scheme: dark) {
    body { color: #e6e6e6; background: #181818; }
    h2 { border-color: #555; }
    .address, .note { color: #b8b8b8; }
    .reason { color: #ff8a80; }
    a { color: #8ab4f8; }
    a:visited { color: #c9a4f9; }
  }
</style>
</head>
<body>
<h1>Проверка ссылок</h1>
)";

}  // namespace

HealthCounts countHealth(const SiteLinks& links, const LinkHistory& history) {
  HealthCounts counts;
  counts.notChecked = links.otherAddresses;
  for (const std::string& address : links.webAddresses) {
    const LinkRecord* record = recordOf(history, address);
    if (record == nullptr) {
      ++counts.notYetChecked;
      continue;
    }
    ++counts.checked;
    if (record->state == LinkState::Failing) {
      ++(isDead(*record) ? counts.dead : counts.failing);
    } else {
      ++counts.alive;
      if (record->state == LinkState::Moved) ++counts.moved;
    }
  }
  return counts;
}

std::string reasonText(std::string_view reason) {
  if (reason.starts_with("HTTP ")) return "ответ " + std::string(reason);
  if (reason == check::reason::kTimeout) return "нет ответа (истекло время ожидания)";
  if (reason == check::reason::kRefused) return "соединение отклонено";
  if (reason == check::reason::kNameNotFound) return "имя сервера не найдено";
  if (reason == check::reason::kTls) return "ошибка TLS (защищённого соединения)";
  if (reason == check::reason::kRedirectLoop) return "переадресация по кругу";
  if (reason == check::reason::kReset) return "соединение оборвано";
  if (reason == check::reason::kRedirectElsewhere) return "переадресация на адрес не http/https";
  if (reason == check::reason::kBadAddress) return "неверный адрес";
  if (reason == check::reason::kRedirectInward) return "переадресация во внутреннюю сеть";
  if (reason == check::reason::kUnreachable) return "сервер или его сеть недоступны";
  if (reason == check::reason::kBadAnswer) return "ответ не по протоколу HTTP";
  if (reason == check::reason::kHeaderTooLong) return "строка заголовка ответа длиннее 100 КБ";
  return std::string(reason);
}

std::string healthPage(const SiteLinks& links, const LinkHistory& history) {
  const HealthCounts counts = countHealth(links, history);
  std::string page(kHead);
  if (history.checkStarted != 0) {
    page += "<p class=\"note\">Проверка начата " + localTime(history.checkStarted) +
            (history.checkFinished ? ", закончена." : ", ещё не закончена: следующая проверка продолжит её.") +
            "</p>\n";
  }

  page += "<h2>Мёртвые ссылки: " + std::to_string(counts.dead) + "</h2>\n";
  page +=
      "<p class=\"note\">Мёртвой считается ссылка, которая не ответила при проверках, разделённых не "
      "меньше чем 20 часами, и не отвечала между ними.</p>\n";
  std::size_t deadEntries = 0;
  const std::string dead = listBySection(links, history, deadEntries, [](const site::PageLink& entry, const LinkRecord& record) {
    if (!isDead(record)) return std::string();
    return failureItem(entry, record) + ". <a href=\"https://web.archive.org/web/2/" + site::htmlTextUtf8(entry.address) +
           "\" target=\"_blank\" rel=\"noopener noreferrer\">Копия в архиве</a></li>\n";
  });
  page += sharedAddressNote(deadEntries, counts.dead) + dead;
  if (counts.dead == 0) page += "<p>Мёртвых ссылок нет.</p>\n";

  page += "<h2>Не отвечают: " + std::to_string(counts.failing) + "</h2>\n";
  std::size_t failingEntries = 0;
  const std::string failing = listBySection(links, history, failingEntries, [](const site::PageLink& entry, const LinkRecord& record) {
    if (record.state != LinkState::Failing || isDead(record)) return std::string();
    return failureItem(entry, record) + "; мёртвой станет, если не ответит и при проверке после " +
           localTime(record.failingSince + kDeadAfterSeconds) + ".</li>\n";
  });
  if (counts.failing > 0) {
    page +=
        "<p class=\"note\">Не ответили при последней проверке, но ещё не мёртвые: сервер мог быть занят или "
        "недоступен недолго.</p>\n";
  } else {
    page += "<p>Все проверенные ссылки, кроме мёртвых, отвечают.</p>\n";
  }
  page += sharedAddressNote(failingEntries, counts.failing) + failing;

  page += "<h2>Переехавшие ссылки: " + std::to_string(counts.moved) + "</h2>\n";
  if (counts.moved > 0) {
    page += "<p class=\"note\">Сервер постоянно переадресует их на новый адрес.</p>\n<ul>\n";
    std::unordered_set<std::string_view> listed;
    for (const SiteSection& section : links.sections) {
      for (const site::PageLink& entry : section.links) {
        const std::string& identity = links.identityOf(entry.address);
        const LinkRecord* record = recordOf(history, identity);
        if (record == nullptr || record->state != LinkState::Moved || !listed.insert(identity).second) continue;
        page += "<li>" + link(entry.address, entry.name.empty() ? entry.address : entry.name) +
                " <span class=\"note\">(" + site::htmlTextUtf8(section.name) + ")</span><br><span class=\"address\">" +
                site::htmlTextUtf8(entry.address) + "</span><br>теперь: " + link(record->detail, record->detail) +
                "</li>\n";
      }
    }
    page += "</ul>\n";
  }

  const auto row = [](std::string_view label, std::size_t count) {
    return "<tr><td>" + std::string(label) + "</td><td class=\"n\">" + std::to_string(count) + "</td></tr>\n";
  };
  page += "<h2>Итого</h2>\n<table>\n";
  page += row("Проверено", counts.checked);
  page += row("Отвечают", counts.alive);
  page += row("из них переехали", counts.moved);
  page += row("Не отвечают (пока не мёртвые)", counts.failing);
  page += row("Мёртвые", counts.dead);
  if (counts.notYetChecked > 0) page += row("Ещё не проверены", counts.notYetChecked);
  page += row("Не проверяются (не http/https)", counts.notChecked);
  page += "</table>\n</body>\n</html>\n";
  return page;
}

std::string healthScript(const SiteLinks& links, const LinkHistory& history) {
  std::string script = "var trevantoLinkHealth = {";
  bool first = true;
  // Every spelling the pages hold, so that the marks in the pages and the search find each.
  for (const std::string& address : links.webSpellings) {
    const LinkRecord* record = recordOf(history, links.identityOf(address));
    if (record == nullptr) continue;
    std::string value;
    if (isDead(*record)) {
      value = "[\"dead\", " + site::javaScriptString(reasonText(record->detail)) + "]";
    } else if (record->state == LinkState::Moved) {
      value = "[\"moved\", " + site::javaScriptString(record->detail) + "]";
    } else {
      continue;
    }
    if (!first) script += ", ";
    first = false;
    script += site::javaScriptString(address) + ": " + value;
  }
  return script + "};\n";
}

}  // namespace trevanto::check
