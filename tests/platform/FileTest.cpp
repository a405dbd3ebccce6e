// The file of the operating system: a long sequential write that may go
// past the system's cache keeps every byte where it belongs, whatever the
// pieces' sizes and offsets and whatever other calls come between them.
#include "platform/File.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

void StreamPieces(const std::string& path) {
  SCOPED_TRACE(path);
  platform::FileSystem& fs = platform::DefaultFileSystem();
  auto file = fs.Open(path, platform::OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  std::string expected(193, 'h');  // a header written last, as a table does
  uint64_t at = expected.size();
  // Pieces of odd sizes, smaller and larger than a block and than the
  // buffer of an earlier piece, then a gap, then more pieces.
  for (size_t size : {1u, 4095u, 4096u, 70001u, 3u, 1u << 22, 12289u}) {
    std::string piece(size, '\0');
    for (size_t i = 0; i < size; ++i) piece[i] = static_cast<char>('a' + (at + i) % 23);
    ASSERT_TRUE(file->StreamAt(at, piece.data(), piece.size()));
    expected += piece;
    at += size;
  }
  // What is held back is there for a read in between.
  std::string tail(5, '\0');
  ASSERT_EQ(file->ReadAt(at - 5, tail.data(), 5), 5);
  EXPECT_EQ(tail, expected.substr(at - 5));
  const std::string after_gap(9000, 'g');
  at += 100;
  ASSERT_TRUE(file->StreamAt(at, after_gap.data(), after_gap.size()));
  expected += std::string(100, '\0') + after_gap;
  ASSERT_TRUE(file->WriteAt(0, std::string(193, 'H').data(), 193));
  expected.replace(0, 193, std::string(193, 'H'));
  ASSERT_TRUE(file->Close());
  EXPECT_TRUE(ReadFileBytes(path) == expected) << "the file's bytes differ";
}

TEST(FileTest, StreamedPiecesLandWhereTheyBelong) {
  TempDir dir;
  StreamPieces(dir.File("out.names"));
  // A file system that takes no direct writes (tmpfs of older systems).
  if (platform::DefaultFileSystem().IsDirectory("/dev/shm")) {
    const std::string shm = "/dev/shm/toponyx-file-test-" + std::to_string(::getpid());
    StreamPieces(shm);
    std::remove(shm.c_str());
  }
}

}  // namespace
}  // namespace toponyx::testing
