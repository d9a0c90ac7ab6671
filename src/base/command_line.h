// SPDX-License-Identifier: MIT
// How every program without a window starts: the user's locale, -h/--help and -v/--version, options
// as "--name value" or "--name=value", "--" ending the options, and the exit codes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::base {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitWrongUsage = 2;

struct OptionSpec {
  std::string_view name;       // with its dashes: "--section"
  bool takesValue = false;     // "--name VALUE" or "--name=VALUE"; otherwise a flag
  std::string_view shortName;  // "-s", or empty
};

class CommandLine {
 public:
  // Sets the locale from the environment, so that messages and the system's reasons come in
  // the user's language. usage is the whole --help text.
  CommandLine(std::string_view program, std::string usage, std::vector<OptionSpec> options);

  // Reads the arguments. Returns the exit code when the program is to end at once (after
  // --help, --version or a usage error, each already printed), nothing when it is to go on.
  std::optional<int> parse(int argc, const char* const* argv);

  // The one place a program's failures end: parses the arguments, then runs body. Returns the
  // exit code of --help, --version or a usage error, or body's; whatever body throws is printed
  // as "program: what" and ends the program with kExitFailed, so nothing escapes main.
  int run(int argc, const char* const* argv, const std::function<int()>& body);

  const std::vector<std::string>& positional() const { return positional_; }
  bool has(std::string_view name) const;
  // The last value given to an option, or nothing.
  std::optional<std::string> value(std::string_view name) const;

  // Prints "program: message" and the usage to standard error; returns kExitWrongUsage. An option
  // it does not know: "program: unknown option --name", the same in every program.
  int usageError(std::string_view message) const;
  // Prints "program: message" to standard error; returns kExitFailed.
  int failure(std::string_view message) const;

  std::string_view program() const { return program_; }

 private:
  const OptionSpec* find(std::string_view name) const;

  std::string program_;
  std::string usage_;
  std::vector<OptionSpec> options_;
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> given_;  // option name, value ("" for a flag)
};

}  // namespace trevanto::base
