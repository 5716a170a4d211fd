// Attachment files: open read-only, position to the start, read in the
// composer's 54-byte pieces.
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/test_files.h"

namespace tarnlet {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr std::size_t kPiece = 54;  // the composer's read size
constexpr int kFileNotFound = 2;    // ENOENT and ERROR_FILE_NOT_FOUND alike

// Reads to the end in pieces; records each piece's size.
std::string ReadPieces(FileHandle file, std::string* sizes) {
  std::string all;
  char buffer[kPiece];
  for (;;) {
    std::size_t got = 12345;
    EXPECT_TRUE(NativePlatform().ReadChunk(file, buffer, sizeof buffer, &got));
    *sizes += std::to_string(got) + " ";
    if (got == 0) break;
    all.append(buffer, got);
  }
  return all;
}

std::string Binary(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  return bytes;  // holds CR, LF, 0x1A and NUL bytes: no text-mode reads
}

TEST(AttachmentFile, ReadsInPiecesFromTheStart) {
  TempDir dir;
  const std::string path = dir.File("image.bin");
  const std::string bytes = Binary(130);
  WriteFileBytes(path, bytes);
  int error = 0;
  FileHandle file = NativePlatform().OpenForReading(path.c_str(), &error);
  ASSERT_NE(file, kInvalidFile) << error;
  ASSERT_TRUE(NativePlatform().SeekToStart(file));
  std::string sizes;
  EXPECT_EQ(ReadPieces(file, &sizes), bytes);
  EXPECT_EQ(sizes, "54 54 22 0 ");
  // Positioning again starts over.
  ASSERT_TRUE(NativePlatform().SeekToStart(file));
  sizes.clear();
  EXPECT_EQ(ReadPieces(file, &sizes), bytes);
  NativePlatform().CloseFile(file);
}

TEST(AttachmentFile, EmptyFileEndsAtOnce) {
  TempDir dir;
  const std::string path = dir.File("empty.txt");
  WriteFileBytes(path, "");
  int error = 0;
  FileHandle file = NativePlatform().OpenForReading(path.c_str(), &error);
  ASSERT_NE(file, kInvalidFile) << error;
  ASSERT_TRUE(NativePlatform().SeekToStart(file));
  std::string sizes;
  EXPECT_EQ(ReadPieces(file, &sizes), "");
  EXPECT_EQ(sizes, "0 ");
  NativePlatform().CloseFile(file);
}

TEST(AttachmentFile, OpenFailures) {
  TempDir dir;
  int error = 0;
  EXPECT_EQ(NativePlatform().OpenForReading(dir.File("missing.pdf").c_str(), &error), kInvalidFile);
  EXPECT_EQ(error, kFileNotFound);
  error = 0;
  EXPECT_EQ(NativePlatform().OpenForReading(dir.path().c_str(), &error), kInvalidFile)
      << "a folder is no attachment";
  EXPECT_NE(error, 0);
}

#ifdef _WIN32
// Windows opens without sharing: a file held open cannot be opened again.
TEST(AttachmentFile, AnOpenFileIsNotShared) {
  TempDir dir;
  const std::string path = dir.File("held.txt");
  WriteFileBytes(path, "held");
  int error = 0;
  FileHandle first = NativePlatform().OpenForReading(path.c_str(), &error);
  ASSERT_NE(first, kInvalidFile);
  EXPECT_EQ(NativePlatform().OpenForReading(path.c_str(), &error), kInvalidFile);
  EXPECT_EQ(error, 32);  // ERROR_SHARING_VIOLATION
  NativePlatform().CloseFile(first);
}
#endif

}  // namespace
}  // namespace tarnlet
