// SPDX-License-Identifier: MIT
// Inputs built to hurt the readers: NUL bytes, charsets that spell ASCII otherwise, a META deep
// in the soup, markup broken past recovery, sizes over the limits, folders deeper than any
// path, and a private copy that must not outlive the import.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/posix/file_descriptor.h"
#include "import/charset.h"
#include "import/formats.h"
#include "import/importer.h"
#include "base/private_folder.h"
#include "recording_sink.h"
#include "test_support.h"

using namespace trevanto::import;
using trevanto::testing::readFile;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
namespace fs = std::filesystem;

namespace {

using EventSink = trevanto::testing::RecordingSink;
using Events = std::vector<std::string>;

Events read(const std::string& bytes) {
  EventSink sink;
  readNetscapeBookmarks(bytes, sink);
  return sink.events;
}

const std::string kHead = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n";

TEST(NetscapeHostile, nulBytesInAttributeTitleAndBetweenTags_restOfTheFileRead) {
  using namespace std::string_literals;
  const std::string file =
      kHead + "<DL><p>\n<DT><A HREF=\"http://nul.example/a\0b\" ADD_DATE=\"1\0\">Пер\0вая</A>\n"s +
      "\0\0<DT><H3>Папка</H3>\n<DL><p>\n<DT><A HREF=\"http://after.example/\">После</A>\n</DL><p>\n</DL>\n"s;
  EXPECT_EQ(read(file), (Events{"Пер\xEF\xBF\xBDвая = http://nul.example/a\xEF\xBF\xBD"
                                "b",
                                "+Папка", "После = http://after.example/", "-"}));
}

TEST(NetscapeHostile, charsetsThatSpellAsciiOtherwise_ignoredAndEveryBookmarkRead) {
  for (const char* charset : {"UTF-7", "UTF16", "UCS2", "UNICODE", "UTF32", "WCHAR_T", "IBM037", "EBCDIC-US"}) {
    const std::string file = kHead + "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" + charset +
                             "\">\n<DL><p>\n<DT><A HREF=\"https://a.example/+x-\">Первая +ZZ-</A>\n"
                             "<DT><A HREF=\"https://b.example/\">Вторая</A>\n</DL>\n";
    EXPECT_EQ(read(file), (Events{"Первая +ZZ- = https://a.example/+x-", "Вторая = https://b.example/"})) << charset;
  }
  EXPECT_TRUE(keepsAscii("windows-1251"));
  EXPECT_TRUE(keepsAscii("KOI8-R"));
  EXPECT_FALSE(keepsAscii("UTF-7"));
  EXPECT_FALSE(keepsAscii("no such charset"));
}

TEST(NetscapeHostile, metaDeeperThanTheTreeParsersLimit_stillDecides) {
  std::string file = kHead;
  for (int i = 0; i < 300; ++i) file += "<div>";
  file += "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">";
  for (int i = 0; i < 300; ++i) file += "</div>";
  file += "\n<DL><p>\n<DT><A HREF=\"https://a.example/\">\xCD\xEE\xE2\xEE\xF1\xF2\xE8</A>\n</DL>\n";
  EXPECT_EQ(declaredHtmlCharset(file), "windows-1251");
  EXPECT_EQ(read(file), (Events{"Новости = https://a.example/"}));
}

TEST(NetscapeHostile, conversionStopsPastItsLimit_andBrokenMarkupIsBoundedNamingTheByte) {
  // 10 000 bytes of Windows-1251 Cyrillic grow to 20 000 in UTF-8: stopped soon past 12 000.
  const std::string cyrillic(10000, '\xE6');
  const std::string text = htmlTextToUtf8(cyrillic, "windows-1251", 12000);
  EXPECT_GT(text.size(), 12000u);
  EXPECT_LT(text.size(), 20000u);

  // Thousands of open elements, and end tags of none: every one costs the parser a look
  // through all of them.
  std::string file = kHead + "<DL><p>\n<DT><A HREF=\"https://a.example/\">A</A>\n";
  for (int i = 0; i < 10000; ++i) file += "<b>";
  for (int i = 0; i < 20000; ++i) file += "</span>";
  file += "\n<DT><A HREF=\"https://b.example/\">B</A>\n</DL>\n";
  try {
    read(file);
    FAIL() << "a parse past its bound was not stopped";
  } catch (const UnreadableError& stopped) {
    const std::string reason = stopped.what();
    EXPECT_NE(reason.find("остановлен у байта "), std::string::npos) << reason;
  }
}

// The parser checks each attribute of a tag against every one before it: a tag of more
// attributes than any bookmark file holds ends the parse there, naming the byte, before that
// costs anything; a tag of a few hundred is read.
TEST(NetscapeHostile, tagOfTooManyAttributes_refusedNamingTheByteAndAFewHundredRead) {
  const auto tag = [](int attributes) {
    std::string a = "<DT><A HREF=\"https://many.example/\"";
    for (int i = 0; i < attributes; ++i) a += " a" + std::to_string(i) + "=\"1\"";
    return a + ">Много</A>\n";
  };
  EXPECT_EQ(read(kHead + "<DL><p>\n" + tag(300) + "</DL>\n"), (Events{"Много = https://many.example/"}));
  try {
    read(kHead + "<DL><p>\n" + tag(100'000) + "</DL>\n");
    FAIL() << "a tag of 100 000 attributes was read";
  } catch (const UnreadableError& refused) {
    const std::string reason = refused.what();
    EXPECT_NE(reason.find("остановлен у байта "), std::string::npos) << reason;
    EXPECT_NE(reason.find("атрибутов"), std::string::npos) << reason;
  }
}

class HostileImportTest : public ::testing::Test {
 protected:
  fs::path collection() const { return root_.path() / "collection"; }
  ImportReport import(const fs::path& input) {
    ImportRequest request;
    request.inputs = {input};
    request.collection = collection();
    return runImport(request);
  }
  TempFolder root_;
};

TEST_F(HostileImportTest, exportOverTheLimit_refusedByItsSizeBeforeItIsRead) {
  const fs::path big = root_.path() / "big.html";
  {
    const trevanto::base::FileDescriptor fd(::open(big.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(fd);
    ASSERT_EQ(::write(fd.get(), "<!DOCTYPE NETSCAPE-Bookmark-file-1>", 35), 35);
    ASSERT_EQ(::ftruncate(fd.get(), (off_t{1} << 30) + 1), 0);  // sparse: no disk taken
  }
  // With about half the file's size as all the memory the program may have (not under the
  // address sanitizer, which reserves far more address space from the start).
#if defined(__SANITIZE_ADDRESS__)
  const std::string limit;
#else
  const std::string limit = "ulimit -v 600000; ";
#endif
  const std::string command =
      limit + std::string(TREVANTO_IMPORT_PATH) + " '" + big.string() + "' '" + collection().string() + "' 2>&1";
  FILE* pipe = ::popen(("bash -c \"" + command + "\"").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << output;
  EXPECT_NE(output.find("больше 1 ГиБ"), std::string::npos) << output;
  EXPECT_NE(output.find("big.html"), std::string::npos) << output;
}

// Removes a tree too deep for paths, through descriptors.
void removeDeep(const fs::path& top, const std::string& name, int depth) {
  std::vector<int> fds = {::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  for (int i = 0; i < depth && fds.back() >= 0; ++i)
    fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ::unlinkat(fds.back(), "deep.url", 0);
  for (int i = depth; i > 0; --i) {
    ::close(fds[static_cast<std::size_t>(i)]);
    ::unlinkat(fds[static_cast<std::size_t>(i) - 1], name.c_str(), AT_REMOVEDIR);
  }
  ::close(fds[0]);
}

TEST_F(HostileImportTest, folderInputDeeperThanAnyPath_everyLevelReachedTooLargeLinkFileNamed) {
  const fs::path links = root_.path() / "links";
  fs::create_directories(links);
  const std::string name(40, 'd');
  constexpr int kDepth = 150;  // 150 x 41 bytes: past the 4 096 of a path
  {
    std::vector<trevanto::base::FileDescriptor> fds;
    fds.emplace_back(::open(links.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < kDepth; ++i) {
      ASSERT_EQ(::mkdirat(fds.back().get(), name.c_str(), 0755), 0);
      fds.emplace_back(::openat(fds.back().get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    const std::string text = "[InternetShortcut]\r\nURL=https://deep.example/\r\n";
    const trevanto::base::FileDescriptor file(::openat(fds.back().get(), "deep.url", O_WRONLY | O_CREAT, 0644));
    ASSERT_EQ(::write(file.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  writeFile(links / "huge.url", "[InternetShortcut]\r\nURL=https://huge.example/" + std::string(1024 * 1024, 'x'));
  writeFile(links / "notes.txt", "no link");
  const ImportReport report = import(links);
  removeDeep(links, name, kDepth);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 1);
  EXPECT_EQ(report.passedOver, 1);
  ASSERT_EQ(report.skipped.size(), 1u);
  EXPECT_EQ(report.skipped[0].title, "huge");
  EXPECT_NE(report.skipped[0].reason.find("больше 1 МиБ"), std::string::npos) << report.skipped[0].reason;
}

TEST(PrivateFolderTest, removedWhenTheProgramIsEndedBySignal_andLeftoversOfGoneProcessesByTheNext) {
  const TempFolder root;
  // A folder of a process that is gone, and one of a process that runs (this one).
  fs::create_directories(root.path() / (trevanto::base::PrivateFolder::namePrefix("trevanto-import-", 999999999) + "abcdef"));
  fs::create_directories(root.path() / (trevanto::base::PrivateFolder::namePrefix("trevanto-import-", ::getpid()) + "ghijkl"));
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("TMPDIR", root.path().c_str(), 1);
    const trevanto::base::PrivateFolder folder("trevanto-import-", {"places.sqlite", "places.sqlite-wal"});
    const int fd = ::open((folder.path() / "places.sqlite").c_str(), O_WRONLY | O_CREAT, 0600);
    (void)!::write(fd, "copy", 4);
    ::close(fd);
    ::raise(SIGTERM);
    ::_exit(0);  // not reached: the signal ends the program
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root.path())) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{trevanto::base::PrivateFolder::namePrefix("trevanto-import-", ::getpid()) + "ghijkl"});
}

}  // namespace
