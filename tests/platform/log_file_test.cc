// Log lines stored byte for byte as the Windows C runtime's text mode
// stores them: every LF of the line, and the line end, as CR LF.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/child_process.h"
#include "support/test_files.h"

namespace tarnlet {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct LogCase {
  const char* line;
  const char* stored;
  const char* why;
};

const LogCase kCases[] = {
    {"WSAStartup Miss-002", "WSAStartup Miss-002\r\n", "no line end of its own"},
    {"SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : Res Rcv Ng-022\r\r\n\r\n", "ends in CR LF"},
    {"SMTP SND : Image File Open Ng-091\n", "SMTP SND : Image File Open Ng-091\r\n\r\n",
     "ends in LF"},
    {"a\nb\rc\r\n", "a\r\nb\rc\r\r\n\r\n", "LF inside, lone CR kept"},
    {"", "\r\n", "an empty line"},
    // ﾎｽﾄ名が見つからない-004 in Shift-JIS; 0x5C second bytes stay as they are.
    {"\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-004",
     "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-004\r\n",
     "Shift-JIS bytes unchanged"},
    {"\x95\x5c\x8e\xa6\x83\x5c\n", "\x95\x5c\x8e\xa6\x83\x5c\r\n\r\n", "0x5C before LF"},
};

TEST(LogFile, EachLineIsStoredInTextMode) {
  for (const LogCase& c : kCases) {
    TempDir dir;
    const std::string path = dir.File("mail.log");
    EXPECT_TRUE(NativePlatform().AppendLogLine(path.c_str(), c.line)) << c.why;
    EXPECT_EQ(ReadFileBytes(path), c.stored) << c.why;
  }
}

TEST(LogFile, LinesAppendToWhatIsThere) {
  TempDir dir;
  const std::string path = dir.File("mail.log");
  WriteFileBytes(path, "host line without end");
  for (const LogCase& c : kCases) {
    ASSERT_TRUE(NativePlatform().AppendLogLine(path.c_str(), c.line)) << c.why;
  }
  std::string expected = "host line without end";
  for (const LogCase& c : kCases) expected += c.stored;
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(LogFile, ALongLineIsStoredWhole) {
  TempDir dir;
  const std::string path = dir.File("mail.log");
  std::string line;
  std::string stored;
  for (int i = 0; i < 1500; ++i) {
    line += "ab\n";
    stored += "ab\r\n";
  }
  ASSERT_TRUE(NativePlatform().AppendLogLine(path.c_str(), line.c_str()));
  EXPECT_EQ(ReadFileBytes(path), stored + "\r\n");
}

TEST(LogFile, UnopenablePathsFailAndCreateNothing) {
  TempDir dir;
  EXPECT_FALSE(NativePlatform().AppendLogLine("", "WSAStartup Miss-002"));
  const std::string missing = dir.File("no-such-folder");
  EXPECT_FALSE(NativePlatform().AppendLogLine((missing + "/mail.log").c_str(), "x"));
  EXPECT_FALSE(FileExists(missing));
  // A folder where the file should be cannot be opened for appending.
  EXPECT_FALSE(NativePlatform().AppendLogLine(dir.path().c_str(), "x"));
}

// Several processes append to one log file at the same time; every line must
// arrive whole. The test program runs itself as the writers, each writing
// lines far longer than any write buffer, with LFs inside.
constexpr char kWriterVariable[] = "TARNLET_TEST_LOG_WRITER";
constexpr int kWriters = 4;
constexpr int kLinesEach = 20;

std::string WriterLine(const std::string& tag, int number) {
  char head[64];
  std::snprintf(head, sizeof head, "writer %s line %02d\n", tag.c_str(), number);
  std::string line = head;
  for (int i = 0; i < 1000; ++i) line += tag + " 0123456789abcdefghijklmnopqrstuvwxyz\n";
  return line;
}

std::string StoredForm(const std::string& line) {
  std::string stored;
  for (char c : line) {
    if (c == '\n') stored += '\r';
    stored += c;
  }
  return stored + "\r\n";
}

// A writer: waits for the start signal, so that all of them write at once.
void WriteAsOneOfSeveral(const std::string& path) {
  const std::filesystem::path go = std::filesystem::path(path).parent_path() / "go";
  for (int i = 0; i < 1000 && !std::filesystem::exists(go); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  char tag[17];
  std::snprintf(tag, sizeof tag, "%08x%08x", std::random_device()(), std::random_device()());
  for (int n = 0; n < kLinesEach; ++n) {
    ASSERT_TRUE(NativePlatform().AppendLogLine(path.c_str(), WriterLine(tag, n).c_str()));
  }
}

TEST(LogFile, LinesOfSeveralProcessesStayWhole) {
  if (const char* path = std::getenv(kWriterVariable)) return WriteAsOneOfSeveral(path);
  TempDir dir;
  const std::string path = dir.File("mail.log");
  std::vector<int> status(kWriters, -2);
  std::vector<std::thread> writers;
  for (int& s : status) {
    writers.emplace_back([&s, &path] {
      s = testchild::RunThisProgram(
          {"--gtest_filter=LogFile.LinesOfSeveralProcessesStayWhole", "--gtest_brief=1"},
          kWriterVariable, path);
    });
  }
  WriteFileBytes(dir.File("go"), "");
  for (std::thread& t : writers) t.join();
  for (int s : status) EXPECT_EQ(s, 0);

  // The file must be whole lines one after another, each writer's in order.
  const std::string log = ReadFileBytes(path);
  std::map<std::string, int> next;
  std::size_t at = 0;
  while (at < log.size()) {
    const std::string tag = log.substr(at + 7, 16);
    const int number = std::atoi(log.substr(at + 29, 2).c_str());
    const std::string expected = StoredForm(WriterLine(tag, number));
    ASSERT_EQ(log.compare(at, expected.size(), expected), 0)
        << "no whole line at byte " << at << ": " << log.substr(at, 80);
    EXPECT_EQ(number, next[tag]++) << tag;
    at += expected.size();
  }
  EXPECT_EQ(next.size(), static_cast<std::size_t>(kWriters));
  for (const auto& writer : next) EXPECT_EQ(writer.second, kLinesEach) << writer.first;
}

}  // namespace
}  // namespace tarnlet
