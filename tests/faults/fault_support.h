// SPDX-License-Identifier: MIT
// Helpers for fault tests of whole runs: collections, the converter as a child process,
// scratch mounts that can be made read-only or small, and checks that a site is whole.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "site/conversion.h"

namespace trevanto::testing {

inline const std::filesystem::path kTemplates = TREVANTO_TEMPLATES_DIR;
inline const std::filesystem::path kConvert = TREVANTO_CONVERT_PATH;

bool runningAsRoot();

// A run of the engine in this process.
site::RunReport convert(const std::filesystem::path& source, const std::filesystem::path& site,
                        const std::filesystem::path& templates = kTemplates);

// What a collection should turn into: for each section (raw folder name), the addresses of
// its links as they stand in the page.
using Expected = std::map<std::string, std::set<std::string>>;

// Writes sections of shortcuts with distinct addresses and returns what they should become.
Expected makeCollection(const std::filesystem::path& source, int sections, int perSection);

// --- The converter as a child process ----------------------------------------------------

struct Outcome {
  int exitCode = -1;  // -1 when ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
  long peakKiB = 0;  // peak resident memory of the child
  double seconds = 0;
};

class Child {
 public:
  // Starts the program; its output goes to files in scratch. With user set, the child drops
  // to that user (and its group) before it starts the program.
  Child(const std::vector<std::string>& argv, const std::filesystem::path& scratch, std::optional<uid_t> user = {});
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();
  pid_t pid() const { return pid_; }
  Outcome wait();

 private:
  pid_t pid_ = -1;
  std::filesystem::path out_;
  std::filesystem::path err_;
  double started_ = 0;
};

std::vector<std::string> convertArgs(const std::filesystem::path& source, const std::filesystem::path& site,
                                     const std::filesystem::path& templates = kTemplates);
Outcome convertInChild(const std::filesystem::path& source, const std::filesystem::path& site,
                       const std::filesystem::path& scratch, std::optional<uid_t> user = {});

// --- Scratch mounts ------------------------------------------------------------------------

// A tmpfs mounted on a folder in a mount namespace of this process's own, so nothing is left
// behind when the test ends. Check usable() and skip when mounting is not permitted.
class ScratchMount {
 public:
  ScratchMount(const std::filesystem::path& at, std::string_view options);
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;
  ~ScratchMount();
  bool usable() const { return mounted_; }
  const std::string& whyNot() const { return whyNot_; }
  // Changes the mount's options (for example "ro", "rw", "size=1m"). Returns false on failure.
  bool remount(std::string_view options);

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
  std::string whyNot_;
};

// --- Checks ------------------------------------------------------------------------------

// Every line of the page from byte `from` on ends in CR LF and has one of the shapes the run
// writes; adds a test failure for each that does not.
void expectWholeLines(const std::filesystem::path& page, std::size_t from = 0);

// expectWholeLines for every page of the site folder that the run writes (not the templates).
void expectWholePages(const std::filesystem::path& site);

// The hrefs of the link lines of a page, in order.
std::vector<std::string> linkTargets(const std::filesystem::path& page);

// The site holds, for every expected section, its page with the header line first and each
// address exactly once, the menu with its header line first and one line per section, and
// the three templates. Pages hold whole lines only.
void expectCompleteSite(const std::filesystem::path& site, const Expected& expected);

}  // namespace trevanto::testing
