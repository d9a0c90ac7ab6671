// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <iostream>
#include <utility>

#include "system.h"

namespace trevanto::base {

CommandLine::CommandLine(std::string_view program, std::string usage, std::vector<OptionSpec> options)
    : program_(program), usage_(std::move(usage)), options_(std::move(options)) {
  prepareProgramStart();
}

const OptionSpec* CommandLine::find(std::string_view name) const {
  for (const OptionSpec& option : options_) {
    if (option.name == name || (!option.shortName.empty() && option.shortName == name)) return &option;
  }
  return nullptr;
}

std::optional<int> CommandLine::parse(int argc, const char* const* argv) {
  const std::vector<std::string> arguments = programArguments(argc, argv);
  const std::size_t count = arguments.size();
  bool optionsEnded = false;
  for (std::size_t i = 1; i < count; ++i) {
    const std::string_view arg = arguments[i];
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      positional_.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::cout << usage_;
      return kExitDone;
    }
    if (arg == "--version" || arg == "-v") {
      std::cout << program_ << " " TREVANTO_VERSION "\n";
      return kExitDone;
    }
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
    const std::string_view name = arg.substr(0, equals);
    const OptionSpec* option = find(name);
    if (option == nullptr) return usageError("unknown option " + std::string(arg));
    if (!option->takesValue) {
      if (equals != std::string_view::npos) return usageError(std::string(name) + " takes no value");
      given_.emplace_back(option->name, std::string());
    } else if (equals != std::string_view::npos) {
      given_.emplace_back(option->name, std::string(arg.substr(equals + 1)));
    } else if (i + 1 < count) {
      given_.emplace_back(option->name, arguments[++i]);
    } else {
      return usageError(std::string(name) + " needs a value");
    }
  }
  return std::nullopt;
}

int CommandLine::run(int argc, const char* const* argv, const std::function<int()>& body) {
  try {
    if (const std::optional<int> exitCode = parse(argc, argv)) return *exitCode;
    return body();
  } catch (const std::exception& failure) {
    return this->failure(failure.what());
  } catch (...) {
    return this->failure("unexpected failure");
  }
}

bool CommandLine::has(std::string_view name) const {
  for (const auto& [given, value] : given_) {
    if (given == name) return true;
  }
  return false;
}

std::optional<std::string> CommandLine::value(std::string_view name) const {
  std::optional<std::string> last;
  for (const auto& [given, value] : given_) {
    if (given == name) last = value;
  }
  return last;
}

int CommandLine::usageError(std::string_view message) const {
  std::cerr << program_ << ": " << message << "\n" << usage_;
  return kExitWrongUsage;
}

int CommandLine::failure(std::string_view message) const {
  std::cerr << program_ << ": " << message << "\n";
  return kExitFailed;
}

}  // namespace trevanto::base
