// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/command_line.h"

using trevanto::base::CommandLine;
using trevanto::base::kExitDone;
using trevanto::base::kExitWrongUsage;

namespace {

std::optional<int> parse(CommandLine& commandLine, std::vector<const char*> args) {
  args.insert(args.begin(), "program");
  return commandLine.parse(static_cast<int>(args.size()), args.data());
}

CommandLine makeCommandLine() {
  return CommandLine("program", "Usage: program\n", {{"--section", true, ""}, {"--browsers", false, ""}});
}

TEST(CommandLineTest, valuesComeSpacedOrJoinedAndTheLastOneCounts) {
  CommandLine commandLine = makeCommandLine();
  EXPECT_EQ(parse(commandLine, {"--section", "A", "in", "--section=B=C", "--browsers", "out"}), std::nullopt);
  EXPECT_EQ(commandLine.value("--section"), "B=C");
  EXPECT_TRUE(commandLine.has("--browsers"));
  EXPECT_EQ(commandLine.positional(), (std::vector<std::string>{"in", "out"}));
}

TEST(CommandLineTest, doubleDashEndsTheOptionsAndALoneDashIsAnArgument) {
  CommandLine commandLine = makeCommandLine();
  EXPECT_EQ(parse(commandLine, {"-", "--", "--help", "-x"}), std::nullopt);
  EXPECT_EQ(commandLine.positional(), (std::vector<std::string>{"-", "--help", "-x"}));
  EXPECT_FALSE(commandLine.value("--section"));
}

TEST(CommandLineTest, wrongUsageEndsWithTwoAndHelpWithZero) {
  for (std::vector<const char*> wrong : std::vector<std::vector<const char*>>{
           {"--unknown"}, {"--section"}, {"--browsers=yes"}, {"-s"}, {"in", "--sect=A"}}) {
    CommandLine commandLine = makeCommandLine();
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse(commandLine, wrong), kExitWrongUsage) << wrong.front();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Usage: program"), std::string::npos);
  }
  CommandLine commandLine = makeCommandLine();
  testing::internal::CaptureStdout();
  EXPECT_EQ(parse(commandLine, {"in", "--help", "--unknown"}), kExitDone);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Usage: program\n");
}

}  // namespace
