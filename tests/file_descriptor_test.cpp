// SPDX-License-Identifier: MIT
#include "base/posix/file_descriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "test_support.h"

using namespace trevanto::base;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;

TEST(ReadUpTo, readsToTheLimitOrTheEndAndReportsAFailedRead) {
  TempFolder temp;
  const std::string bytes(10000, 'x');
  writeFile(temp / "file", bytes);
  FileDescriptor fd(::open((temp / "file").c_str(), O_RDONLY));
  ASSERT_TRUE(fd);
  EXPECT_EQ(readUpTo(fd.get(), 4097).bytes.size(), 4097u);
  const ReadResult rest = readUpTo(fd.get(), 1 << 20);  // past the first read's size, to the end
  EXPECT_EQ(rest.error, 0);
  EXPECT_EQ(rest.bytes, bytes.substr(4097));
  EXPECT_EQ(readUpTo(fd.get(), 10).bytes, "");

  const FileDescriptor folder(::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY));
  EXPECT_EQ(readUpTo(folder.get(), 10).error, EISDIR);
}

TEST(FileDescriptor, closesOnceWhateverMovesIt) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  FileDescriptor reader(pipeEnds[0]);
  {
    FileDescriptor writer(pipeEnds[1]);
    FileDescriptor moved(std::move(writer));
    EXPECT_FALSE(writer);
    EXPECT_EQ(writeAll(moved.get(), "abc"), 0);
  }  // the writing end closes here, so the reader sees the end
  const ReadResult read = readUpTo(reader.get(), 100);
  EXPECT_EQ(read.bytes, "abc");
  EXPECT_EQ(reader.close(), 0);
  EXPECT_FALSE(reader);
  EXPECT_EQ(reader.close(), 0);
}
