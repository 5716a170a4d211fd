// Log lines stored byte for byte as the Windows C runtime's text mode
// stores them: every LF of the line, and the line end, as CR LF.
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
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

}  // namespace
}  // namespace tarnlet
