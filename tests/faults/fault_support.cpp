// SPDX-License-Identifier: MIT
#include "fault_support.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "fuzz_support.h"
#include "site/page_format.h"
#include "site/site_files.h"
#include "kept_collections.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

std::string errnoText(std::string_view what) { return std::string(what) + ": " + std::strerror(errno); }

// Mounts made by the tests stay in a namespace of this process and its children.
bool ownMountNamespace(std::string& whyNot) {
  static const std::string failure = [] {
    if (::unshare(CLONE_NEWNS) != 0) return errnoText("unshare(CLONE_NEWNS)");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return errnoText("making / private");
    return std::string();
  }();
  whyNot = failure;
  return failure.empty();
}

// "ro,size=16k" as mount flags and the data string tmpfs takes.
std::pair<unsigned long, std::string> mountOptions(std::string_view options) {
  unsigned long flags = 0;
  std::string data;
  while (!options.empty()) {
    const std::size_t comma = options.find(',');
    const std::string_view option = options.substr(0, comma);
    options.remove_prefix(comma == std::string_view::npos ? options.size() : comma + 1);
    if (option == "ro") {
      flags |= MS_RDONLY;
    } else if (option != "rw" && !option.empty()) {
      if (!data.empty()) data += ',';
      data += option;
    }
  }
  return {flags, data};
}

bool startsWithThenEnds(std::string_view line, std::string_view open, std::string_view middle, std::string_view close,
                        std::string* href) {
  if (!line.starts_with(open) || !line.ends_with(close) || line.size() < open.size() + close.size()) return false;
  const std::string_view inner = line.substr(open.size(), line.size() - open.size() - close.size());
  const std::size_t quote = inner.find('"');
  if (quote == std::string_view::npos || !inner.substr(quote).starts_with(middle)) return false;
  const std::string_view text = inner.substr(quote + middle.size());
  if (text.find_first_of("<>\"") != std::string_view::npos) return false;
  const std::string_view target = inner.substr(0, quote);
  for (char c : target) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F || c == '<' || c == '>') return false;
  }
  if (href) *href = std::string(target);
  return true;
}

bool isLinkLine(std::string_view line, std::string* href = nullptr) {
  return startsWithThenEnds(line, "<a href=\"", "\" target=index>", "</a><br>", href);
}

bool isMenuLine(std::string_view line, std::string* href = nullptr) {
  return startsWithThenEnds(line, "<a href=\"", "\"target=Frame3>", "</a><br />", href);
}

std::vector<std::string> linesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = bytes.find(site::kLineEnd); end != std::string::npos;
       end = bytes.find(site::kLineEnd, start)) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + site::kLineEnd.size();
  }
  return lines;
}

}  // namespace

bool runningAsRoot() { return ::geteuid() == 0; }

site::RunReport convert(const std::filesystem::path& source, const std::filesystem::path& site,
                        const std::filesystem::path& templates) {
  site::RunRequest request(source, site, templates);
  return runKeeping(request);
}

Expected makeCollection(const std::filesystem::path& source, int sections, int perSection) {
  Expected expected;
  for (int s = 0; s < sections; ++s) {
    const std::string section = "Section " + std::to_string(100 + s);
    for (int l = 0; l < perSection; ++l) {
      const std::string address = "http://example.org/" + std::to_string(s) + "/" + std::to_string(l);
      writeShortcut(source / section, "Link " + std::to_string(10000 + l), address);
      expected[section].insert(address);
    }
  }
  return expected;
}

Child::Child(const std::vector<std::string>& argv, const std::filesystem::path& scratch, std::optional<uid_t> user) {
  static int serial = 0;
  const std::string stem = "child-" + std::to_string(++serial);
  out_ = scratch / (stem + ".out");
  err_ = scratch / (stem + ".err");
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  started_ = now();
  pid_ = ::fork();
  if (pid_ == 0) {
    const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    if (user && (::setgroups(0, nullptr) != 0 || ::setgid(*user) != 0 || ::setuid(*user) != 0)) ::_exit(125);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (pid_ < 0) ADD_FAILURE() << errnoText("fork");
}

Child::~Child() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

Outcome Child::wait() {
  Outcome outcome;
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  outcome.seconds = now() - started_;
  outcome.peakKiB = usage.ru_maxrss;
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.out = readFile(out_);
  outcome.err = readFile(err_);
  return outcome;
}

std::vector<std::string> convertArgs(const std::filesystem::path& source, const std::filesystem::path& site,
                                     const std::filesystem::path& templates) {
  return {kConvert.string(), "--templates", templates.string(), source.string(), site.string()};
}

Outcome convertInChild(const std::filesystem::path& source, const std::filesystem::path& site,
                       const std::filesystem::path& scratch, std::optional<uid_t> user) {
  return Child(convertArgs(source, site), scratch, user).wait();
}

ScratchMount::ScratchMount(const std::filesystem::path& at, std::string_view options) : at_(at) {
  if (!ownMountNamespace(whyNot_)) return;
  std::filesystem::create_directories(at);
  const auto [flags, data] = mountOptions(options);
  if (::mount("tmpfs", at.c_str(), "tmpfs", flags, data.c_str()) != 0) {
    whyNot_ = errnoText("mounting a tmpfs");
    return;
  }
  mounted_ = true;
}

ScratchMount::~ScratchMount() {
  if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
}

bool ScratchMount::remount(std::string_view options) {
  const auto [flags, data] = mountOptions(options);
  return ::mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | flags, data.c_str()) == 0;
}

void expectWholeLines(const std::filesystem::path& page, std::size_t from) {
  const std::string bytes = readFile(page);
  ASSERT_LE(from, bytes.size()) << page;
  const std::string tail = bytes.substr(from);
  if (tail.empty()) return;
  EXPECT_TRUE(tail.ends_with(site::kLineEnd)) << page << " ends in the middle of a line";
  for (const std::string& line : linesOf(tail)) {
    const bool known =
        line == site::sectionHeaderLine() || line == site::menuHeaderLine() || isLinkLine(line) || isMenuLine(line);
    EXPECT_TRUE(known) << page << " holds a line the run does not write: " << line;
  }
}

void expectWholePages(const std::filesystem::path& site) {
  for (const auto& entry : std::filesystem::directory_iterator(site)) {
    const std::string name = entry.path().filename().string();
    const bool isTemplate = std::find(std::begin(site::kTemplateNames), std::end(site::kTemplateNames), name) !=
                            std::end(site::kTemplateNames);
    if (!isTemplate && name.ends_with(".html") && entry.is_regular_file()) expectWholeLines(entry.path());
  }
}

std::vector<std::string> linkTargets(const std::filesystem::path& page) {
  std::vector<std::string> targets;
  for (const std::string& line : linesOf(readFile(page))) {
    if (std::string href; isLinkLine(line, &href)) targets.push_back(href);
  }
  return targets;
}

void expectCompleteSite(const std::filesystem::path& site, const Expected& expected) {
  for (const auto& [section, addresses] : expected) {
    const std::filesystem::path page = site / (section + ".html");
    ASSERT_TRUE(std::filesystem::is_regular_file(page)) << page;
    expectWholeLines(page);
    EXPECT_TRUE(readFile(page).starts_with(site::sectionHeaderLine() + std::string(site::kLineEnd)))
        << page << " lost its header line";
    std::multiset<std::string> written;
    for (const std::string& target : linkTargets(page)) written.insert(target);
    for (const std::string& address : addresses) {
      EXPECT_EQ(written.count(address), 1u) << page << ": " << address;
    }
    EXPECT_EQ(written.size(), addresses.size()) << page << " holds links that were not asked for";
  }

  const std::filesystem::path menu = site / std::string(site::kMenuPageName);
  if (expected.empty()) return;
  ASSERT_TRUE(std::filesystem::is_regular_file(menu));
  expectWholeLines(menu);
  EXPECT_TRUE(readFile(menu).starts_with(site::menuHeaderLine() + std::string(site::kLineEnd)))
      << "the menu lost its header line";
  std::multiset<std::string> listed;
  for (const std::string& line : linesOf(readFile(menu))) {
    if (std::string href; isMenuLine(line, &href)) listed.insert(fuzz::percentDecode(href));
  }
  for (const auto& [section, addresses] : expected) {
    EXPECT_EQ(listed.count(section + ".html"), 1u) << "menu entries for " << section;
  }
  EXPECT_EQ(listed.size(), expected.size()) << "the menu lists sections that were not asked for";

  for (std::string_view name : site::kTemplateNames) {
    EXPECT_TRUE(readFile(site / std::string(name)) == readFile(kTemplates / std::string(name)))
        << name << " is missing from the site or differs from its template";
  }
  for (const auto& entry : std::filesystem::directory_iterator(site)) {
    EXPECT_FALSE(site::isLeftoverTemporaryFile(entry.path().filename().string())) << entry.path() << " was left behind";
  }
}

}  // namespace trevanto::testing
