// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/file_error.h"

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

namespace {

int run(CommandLine& commandLine, std::vector<const char*> args, const std::function<int()>& body) {
  args.insert(args.begin(), "program");
  return commandLine.run(static_cast<int>(args.size()), args.data(), body);
}

TEST(CommandLineTest, aFailureThrownByTheProgramEndsItWithOneAndItsWords_andWrongUsageNeverRunsIt) {
  CommandLine commandLine = makeCommandLine();
  testing::internal::CaptureStderr();
  const int failed = run(commandLine, {"in"}, []() -> int {
    throw trevanto::base::FileError::worded("Папка ", "/site/export", " недоступна", "Permission denied");
  });
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(failed, trevanto::base::kExitFailed);
  EXPECT_EQ(said, "program: Папка \xC2\xAB/site/export\xC2\xBB недоступна: Permission denied\n");

  CommandLine another = makeCommandLine();
  bool ran = false;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run(another, {"--unknown"}, [&ran] { ran = true; return 0; }), kExitWrongUsage);
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ran);

  CommandLine third = makeCommandLine();
  EXPECT_EQ(run(third, {"in"}, [] { return 7; }), 7);
}

TEST(FileErrorTest, wordedAroundTheNameKeepsTheReasonApart) {
  const auto busy = trevanto::base::FileError::worded("Ссылки сайта уже проверяются: папка ", "/s/export", " занята");
  EXPECT_STREQ(busy.what(), "Ссылки сайта уже проверяются: папка \xC2\xAB/s/export\xC2\xBB занята");
  EXPECT_EQ(busy.reason(), "");
  const trevanto::base::FileError plain("Не удалось прочитать", "/a", "нет");
  EXPECT_STREQ(plain.what(), "Не удалось прочитать \xC2\xAB/a\xC2\xBB: нет");
}

}  // namespace
