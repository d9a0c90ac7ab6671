// SPDX-License-Identifier: MIT
// Whole checks of a site against a server of the test's own: the history across checks with a
// clock the test turns, the page and the script, a check killed midway, and sites that cannot be
// checked.
#include "check/check_run.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <ctime>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/files.h"
#include "base/process.h"
#include "support/link_server.h"
#include "site/page_format.h"
#include "site/text_encoding.h"
#include "test_support.h"

namespace trevanto::check {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::LinkServer;
using testing::linkOf;
using testing::menuOf;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

constexpr UnixTime kStart = 1'800'000'000;

struct Section {
  std::string name;
  std::vector<std::pair<std::string, std::string>> links;  // name, address
};

void writeSite(const std::filesystem::path& site, const std::vector<Section>& sections) {
  std::string menu;
  for (const Section& section : sections) {
    menu += menuOf(section.name + ".html", site::htmlTextWindows1251(section.name));
    std::string page;
    for (const auto& [name, address] : section.links) page += linkOf(address, site::htmlTextWindows1251(name));
    writeFile(site / base::pathOf(section.name + ".html"), page);
  }
  writeFile(site / "Frame2.html", menu);
}

CheckRequest requestFor(const std::filesystem::path& site, const UnixTime* now) {
  CheckRequest request;
  request.siteFolder = site;
  request.settings.requestTimeout = 2s;
  request.settings.retryPause = 20ms;
  request.clock = [now] { return *now; };
  return request;
}

json history(const std::filesystem::path& site) { return json::parse(readFile(site / "export" / "link-health.json")); }

std::map<std::string, std::string> siteFilesBesidesTheCheck(const std::filesystem::path& site) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(site)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && !name.starts_with("link-health.")) files[entry.path().string()] = readFile(entry.path());
  }
  return files;
}

TEST(CheckRunTest, failuresTwentyHoursApart_makeADeadLink_andAnAnswerMakesItLiveAgain) {
  LinkServer server;
  server.setStatus("/gone", 404);
  TempFolder site;
  const std::string gone = server.url("/gone");
  const std::string moved = server.url("/chain/2");
  writeSite(site.path(), {{"Работа", {{"Живая", server.url("/ok")}, {"Пропавшая", gone}, {"Переехала", moved}}},
                          {"Music", {{"Снова пропавшая", gone}, {"Файл", "ftp://files.example/x"}}}});
  const auto before = siteFilesBesidesTheCheck(site.path());
  UnixTime now = kStart;
  const CheckRequest request = requestFor(site.path(), &now);
  const std::filesystem::path exportFolder = site / "export";

  CheckReport report = runCheck(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_TRUE(report.completed);
  EXPECT_EQ(report.asked, 3u);  // the address in two sections is asked once; ftp: not at all
  EXPECT_EQ(report.counts.notChecked, 1u);
  json saved = history(site.path());
  EXPECT_EQ(saved["links"][gone]["state"], "failing");
  EXPECT_EQ(saved["links"][gone]["detail"], "HTTP 404");
  EXPECT_EQ(saved["links"][gone]["failures_in_a_row"], 1);
  EXPECT_EQ(saved["links"][moved]["state"], "moved");
  EXPECT_EQ(saved["links"][moved]["detail"], server.url("/chain/0"));
  EXPECT_EQ(saved["check"]["finished"], true);
  // One outage is not a death.
  EXPECT_EQ(readFile(exportFolder / "link-health.js"),
            "var trevantoLinkHealth = {" + site::javaScriptString(moved) + ": [\"moved\", " +
                site::javaScriptString(server.url("/chain/0")) + "]};\n");

  now = kStart + 19 * 3600;
  ASSERT_FALSE(runCheck(request).failed());
  EXPECT_EQ(history(site.path())["links"][gone]["dead"], false);
  EXPECT_EQ(readFile(exportFolder / "link-health.html").find("web.archive.org"), std::string::npos);

  now = kStart + 20 * 3600;
  report = runCheck(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.counts.dead, 1u);
  EXPECT_EQ(report.counts.alive, 2u);
  EXPECT_EQ(report.counts.moved, 1u);
  saved = history(site.path());
  EXPECT_EQ(saved["links"][gone]["dead"], true);
  EXPECT_EQ(saved["links"][gone]["failures_in_a_row"], 3);
  EXPECT_EQ(saved["links"][gone]["failing_since"], isoTime(kStart));
  EXPECT_EQ(readFile(exportFolder / "link-health.js"),
            "var trevantoLinkHealth = {" + site::javaScriptString(gone) + ": [\"dead\", " +
                site::javaScriptString(reasonText("HTTP 404")) + "], " + site::javaScriptString(moved) +
                ": [\"moved\", " + site::javaScriptString(server.url("/chain/0")) + "]};\n");
  const std::string page = readFile(exportFolder / "link-health.html");
  // Listed under each section that holds it, with its archived copy.
  const std::size_t work = page.find("<h3>Работа</h3>");
  const std::size_t music = page.find("<h3>Music</h3>");
  ASSERT_NE(work, std::string::npos);
  ASSERT_NE(music, std::string::npos);
  EXPECT_NE(page.find("Снова пропавшая", music), std::string::npos);
  EXPECT_NE(page.find("https://web.archive.org/web/2/" + gone), std::string::npos);
  EXPECT_NE(page.find("ответ HTTP 404"), std::string::npos);
  EXPECT_NE(page.find("<meta name=\"viewport\""), std::string::npos);
  EXPECT_EQ(page.find("Живая"), std::string::npos);

  server.setStatus("/gone", 200);
  now = kStart + 21 * 3600;
  ASSERT_FALSE(runCheck(request).failed());
  saved = history(site.path());
  EXPECT_EQ(saved["links"][gone]["state"], "ok");
  EXPECT_EQ(saved["links"][gone]["failures_in_a_row"], 0);
  EXPECT_EQ(saved["links"][gone]["answered"], isoTime(now));
  EXPECT_EQ(readFile(exportFolder / "link-health.js").find(site::javaScriptString(gone)), std::string::npos);

  EXPECT_EQ(siteFilesBesidesTheCheck(site.path()), before);
}

// The first check already lists what does not answer, apart from the dead: why, since when, when
// it last answered, when it would count as dead; an address in two sections is counted once; times
// in the machine's local time with its offset.
TEST(CheckRunTest, firstCheck_listsWhatDoesNotAnswer_withReasonAndTimesInLocalTime) {
  const char* zoneBefore = std::getenv("TZ");
  const std::string savedZone = zoneBefore != nullptr ? zoneBefore : "";
  testing::setVariable("TZ", "XYZ-3");
  ::tzset();
  LinkServer server;
  server.setStatus("/gone", 404);
  server.setStatus("/also-gone", 500);
  TempFolder site;
  const std::string gone = server.url("/gone");
  writeSite(site.path(), {{"Работа", {{"Пропавшая", gone}, {"Живая", server.url("/ok")}, {"Вторая", server.url("/also-gone")}}},
                          {"Music", {{"Снова пропавшая", gone}}}});
  UnixTime now = kStart;
  const CheckReport report = runCheck(requestFor(site.path(), &now));
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.counts.failing, 2u);
  EXPECT_EQ(report.counts.dead, 0u);
  const std::string page = readFile(site / "export" / "link-health.html");
  const std::size_t failing = page.find("<h2>Не отвечают: 2</h2>");
  ASSERT_NE(failing, std::string::npos) << page;
  EXPECT_GT(failing, page.find("<h2>Мёртвые ссылки: 0</h2>"));
  EXPECT_NE(page.find("ответ HTTP 404", failing), std::string::npos);
  EXPECT_NE(page.find("ответ HTTP 500", failing), std::string::npos);
  EXPECT_NE(page.find("Снова пропавшая", page.find("<h3>Music</h3>", failing)), std::string::npos);
  EXPECT_NE(page.find("(адресов: 2, записей: 3)"), std::string::npos);
  // 1 800 000 000 is 2027-01-15 08:00 UTC, 11:00 three hours east.
  EXPECT_NE(page.find("не отвечает с 2027-01-15 11:00 XYZ (UTC+03:00); ни разу не ответила"), std::string::npos) << page;
  EXPECT_NE(page.find("после 2027-01-16 07:00 XYZ (UTC+03:00)"), std::string::npos);
  EXPECT_EQ(page.find("web.archive.org"), std::string::npos);  // the archive is offered for the dead
  // West of Greenwich, by hours and minutes.
  testing::setVariable("TZ", "WST+4:30");
  ::tzset();
  ASSERT_FALSE(runCheck(requestFor(site.path(), &now)).failed());
  EXPECT_NE(readFile(site / "export" / "link-health.html").find("не отвечает с 2027-01-15 03:30 WST (UTC-04:30)"),
            std::string::npos);
  if (zoneBefore != nullptr) {
    testing::setVariable("TZ", savedZone.c_str());
  } else {
    testing::unsetVariable("TZ");
  }
  ::tzset();
}

// The time left counts the requests in flight: six slow ones at the end are not "2 seconds".
TEST(CheckPaceTest, timeLeft_countsRequestsInFlightAndTheSlowOnes) {
  const auto t0 = std::chrono::steady_clock::time_point{} + 1000s;
  CheckPace pace{t0, {}, 10, 32, 105s};
  for (int i = 1; i <= 4; ++i) pace.doneAt.push_back(t0 + i * 250ms);
  EXPECT_FALSE(timeLeft(CheckPace{t0, {}, 10, 32, 105s}, t0 + 1s).has_value());
  // Four done within a second, six still running after ten seconds: they end when their time runs out.
  EXPECT_EQ(timeLeft(pace, t0 + 10s), std::chrono::seconds(95));
  // Early on the six are taken to end at the pace of the first four.
  EXPECT_LE(timeLeft(pace, t0 + 1s).value(), 2s);
  // Two places, 100 addresses, one done every second: the rest at that pace.
  CheckPace steady{t0, {}, 100, 2, 105s};
  for (int i = 1; i <= 10; ++i) steady.doneAt.push_back(t0 + i * 1s);
  const auto left = timeLeft(steady, t0 + 10s).value();
  EXPECT_GE(left, 80s);
  EXPECT_LE(left, 95s);
  steady.doneAt.resize(100, t0 + 60s);
  EXPECT_EQ(timeLeft(steady, t0 + 60s), std::chrono::seconds(0));
}

TEST(CheckRunTest, twoSpellingsOfOneAddress_areAskedOnce_keptOnce_andBothMarked) {
  LinkServer server;
  server.setStatus("/gone", 404);
  TempFolder site;
  const std::string port = std::to_string(server.port());
  const std::string moved = server.url("/chain/1");
  const std::string movedShouting = "HTTP://127.0.0.1:" + port + "/chain/1";
  const std::string gone = server.url("/gone");
  const std::string goneWithDefaults = "http://127.0.0.1:" + port + "/a/../gone";
  writeSite(site.path(), {{"One", {{"Moved", moved}, {"Gone", gone}}},
                          {"Two", {{"Moved again", movedShouting}, {"Gone again", goneWithDefaults}}}});
  UnixTime now = kStart;
  const CheckRequest request = requestFor(site.path(), &now);

  CheckReport report = runCheck(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.asked, 2u);
  EXPECT_EQ(server.requests("/chain/1"), 1);
  EXPECT_EQ(server.requests("/gone", "HEAD"), 1);  // a failure is asked again with GET
  EXPECT_EQ(server.requests("/a/../gone"), 0);
  EXPECT_EQ(report.counts.checked, 2u);
  json saved = history(site.path());
  EXPECT_EQ(saved["links"].size(), 2u);
  EXPECT_EQ(saved["links"][moved]["state"], "moved");

  now = kStart + 20 * 3600;
  ASSERT_FALSE(runCheck(request).failed());
  EXPECT_EQ(server.requests("/gone", "HEAD"), 2);
  // The marks name each spelling as the pages hold it.
  const std::string script = readFile(site / "export" / "link-health.js");
  for (const std::string& spelling : {moved, movedShouting}) {
    EXPECT_NE(script.find(site::javaScriptString(spelling) + ": [\"moved\""), std::string::npos) << spelling;
  }
  for (const std::string& spelling : {gone, goneWithDefaults}) {
    EXPECT_NE(script.find(site::javaScriptString(spelling) + ": [\"dead\""), std::string::npos) << spelling;
  }
  // The dead link is listed in each section under the spelling it has there; the moved one once.
  const std::string page = readFile(site / "export" / "link-health.html");
  EXPECT_NE(page.find("Gone again"), std::string::npos);
  EXPECT_EQ(page.find("Moved again"), std::string::npos);
}

TEST(CheckRunTest, aHistoryKeepingTwoSpellingsOfOneAddress_becomesOneRecord_theLastChecked) {
  TempFolder folder;
  writeFile(folder / "link-health.json",
            R"({"format": 1, "check": {"started": null, "finished": true}, "links": {
"HTTP://Host.Example/a": {"state": "failing", "checked": "2027-01-02T00:00:00Z", "failures_in_a_row": 3},
"http://host.example/a": {"state": "ok", "checked": "2027-01-01T00:00:00Z"},
"http://host.example/b": {"state": "ok", "checked": "2027-01-01T00:00:00Z"}}})");
  const LinkHistory history = readHistory(folder / "link-health.json");
  ASSERT_EQ(history.links.size(), 2u);
  ASSERT_TRUE(history.links.contains("http://host.example/a"));
  EXPECT_EQ(history.links.at("http://host.example/a").failuresInRow, 3);
}

// A check killed midway runs in a process of its own. On Windows, which has no fork, the test
// program starts itself again to run only this, on the site the variable names.
constexpr char kKilledCheckSite[] = "TREVANTO_TEST_KILLED_CHECK_SITE";

CheckRequest killedCheckRequest(const std::filesystem::path& site, const UnixTime* now) {
  CheckRequest request = requestFor(site, now);
  request.saveEvery = 50ms;
  return request;
}

#ifdef _WIN32
TEST(CheckRunTest, DISABLED_theCheckThatIsKilled) {
  const std::optional<std::string> site = base::environmentVariable(kKilledCheckSite);
  if (!site) GTEST_SKIP() << kKilledCheckSite << " names no site";
  const UnixTime now = kStart;
  runCheck(killedCheckRequest(base::pathOf(*site), &now));
}
#endif

TEST(CheckRunTest, killedMidCheck_theNextCheckAsksOnlyWhatWasNotDone) {
  LinkServer server(100ms);
  TempFolder site;
  Section section{"Links", {}};
  for (int i = 0; i < 30; ++i) section.links.emplace_back("link", server.url("/page" + std::to_string(i)));
  writeSite(site.path(), {section});
  UnixTime now = kStart;
  const CheckRequest request = killedCheckRequest(site.path(), &now);

#ifdef _WIN32
  testing::setVariable(kKilledCheckSite, base::textOf(site.path()).c_str());
  std::wstring program(MAX_PATH, L'\0');
  program.resize(::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  std::wstring command = L"\"" + program +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=CheckRunTest.DISABLED_theCheckThatIsKilled";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const bool started =
      ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
  testing::unsetVariable(kKilledCheckSite);
  ASSERT_TRUE(started) << ::GetLastError();
#else
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    runCheck(request);
    ::_exit(0);
  }
#endif
  // 30 requests of 100 ms, two at a time, take 1.5 s: the kill comes once a few are on record.
  const auto recorded = [&] {
    try {
      return history(site.path())["links"].size();
    } catch (const std::exception&) {
      return std::size_t{0};  // not written yet
    }
  };
  for (int wait = 0; wait < 400 && recorded() < 6; ++wait) std::this_thread::sleep_for(25ms);
#ifdef _WIN32
  constexpr UINT kKilled = 137;
  ::TerminateProcess(child.hProcess, kKilled);
  ::WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(child.hProcess, &code);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  ASSERT_EQ(code, kKilled) << "the check ended before the kill";
#else
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the check ended before the kill";
#endif

  const json killed = history(site.path());
  EXPECT_EQ(killed["check"]["finished"], false);
  std::vector<std::string> done;
  for (const auto& [address, entry] : killed["links"].items()) done.push_back(address);
  ASSERT_GT(done.size(), 0u);
  ASSERT_LT(done.size(), 30u);

  now = kStart + 600;
  const CheckReport report = runCheck(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_TRUE(report.completed);
  EXPECT_EQ(report.alreadyDone, done.size());
  EXPECT_EQ(report.asked, 30u - done.size());
  for (const std::string& address : done) {
    EXPECT_EQ(server.requests(address.substr(address.rfind('/'))), 1) << address << " was asked again";
  }
  const json finished = history(site.path());
  EXPECT_EQ(finished["check"]["finished"], true);
  EXPECT_EQ(finished["check"]["started"], isoTime(kStart));
  EXPECT_EQ(finished["links"].size(), 30u);
  for (const auto& [address, entry] : finished["links"].items()) EXPECT_EQ(entry["state"], "ok") << address;
}

TEST(CheckRunTest, whatKeepsACheckFromBeingMade_isNamed_andNothingIsWritten) {
  TempFolder folder;
  UnixTime now = kStart;
  CheckReport report = runCheck(requestFor(folder / "missing", &now));
  EXPECT_NE(report.error.find("missing"), std::string::npos) << report.error;

  report = runCheck(requestFor(folder.path(), &now));  // a folder without a menu is no site
  EXPECT_NE(report.error.find("Frame2.html"), std::string::npos) << report.error;
  EXPECT_FALSE(std::filesystem::exists(folder / "export"));

  writeSite(folder.path(), {{"Links", {{"local", "file:///tmp/x"}}}});
  writeFile(folder / "export", "a file in the way");
  report = runCheck(requestFor(folder.path(), &now));
  EXPECT_NE(report.error.find("export"), std::string::npos) << report.error;
  EXPECT_EQ(readFile(folder / "export"), "a file in the way");
  std::filesystem::remove(folder / "export");

  // A history that is not one is kept as it is, not overwritten.
  std::filesystem::create_directory(folder / "export");
  writeFile(folder / "export" / "link-health.json", "{\"links\": [");
  report = runCheck(requestFor(folder.path(), &now));
  EXPECT_NE(report.error.find("link-health.json"), std::string::npos) << report.error;
  EXPECT_EQ(readFile(folder / "export" / "link-health.json"), "{\"links\": [");
  std::filesystem::remove(folder / "export" / "link-health.json");

  // A second check of the same site at the same time.
  {
    std::error_code error;
    const base::OpenFolder held = base::OpenFolder::open(folder / "export", error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_FALSE(held.tryLock());
    report = runCheck(requestFor(folder.path(), &now));
    EXPECT_NE(report.error.find("уже проверяются"), std::string::npos) << report.error;
  }
  report = runCheck(requestFor(folder.path(), &now));
  EXPECT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.counts.notChecked, 1u);

  // A section page that the menu does not list is checked too.
  const std::string refused = "http://127.0.0.1:" + std::to_string(test::refusedPort()) + "/";
  writeFile(folder / "Unlisted.html", site::sectionHeaderLine() + "\r\n" + linkOf(refused, "old"));
  report = runCheck(requestFor(folder.path(), &now));
  EXPECT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.asked, 1u);
  EXPECT_EQ(history(folder.path())["links"][refused]["detail"], reason::kRefused);
}

}  // namespace
}  // namespace trevanto::check
