// The log file, compared byte for byte with the clock pinned.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "frame_test_platform.h"
#include "support/blocking_log_targets.h"
#include "support/fault_platform.h"
#include "support/platform_test.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {
namespace {

class LogTest : public SenderTest {
 protected:
  LogTest() { UseLog(File("tarnlet.log")); }

  void UseLog(const std::string& path) {
    std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
    SetField(g_mailSettings.Log, path);
  }
};

TEST_F(LogTest, LinesAreStampedAndStoredWithTextModeLineEnds) {
  struct Line {
    std::string message;
    std::string stored;  // after the timestamp
  };
  const Line lines[] = {
      {"WSAStartup Miss-002", "WSAStartup Miss-002\r\n"},
      {"SMTP SND : Snd Ng-061\r\n", "SMTP SND : Snd Ng-061\r\r\n\r\n"},
      {"SMTP SND : Text Snd Ng-081\n", "SMTP SND : Text Snd Ng-081\r\n\r\n"},
      {"a\nb\rc", "a\r\nb\rc\r\n"},
      // 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001: its 22 Shift-JIS bytes unchanged
      {"\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001",
       "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001\r\n"},
      {"", "\r\n"},
  };
  std::string expected;
  for (const Line& line : lines) {
    EXPECT_EQ(sender_.WriteLog(line.message.c_str()), 1);
    expected += kStamp + line.stored;
  }
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(expected.compare(0, 42, "2026/03/05 09:07:03  WSAStartup Miss-002\r\n"), 0);
}

TEST_F(LogTest, TimestampFieldsArePadded) {
  struct Case {
    LocalTime time;
    const char* stamp;
  };
  const Case cases[] = {
      {{2026, 1, 5, 2, 3, 4, 5, 540}, "2026/01/02 03:04:05  "},
      {{2031, 12, 3, 31, 23, 59, 59, 540}, "2031/12/31 23:59:59  "},
      {{999, 7, 0, 9, 0, 0, 0, 0}, "0999/07/09 00:00:00  "},
  };
  for (const Case& c : cases) {
    FaultPlatform clock;
    clock.PinTime(c.time);
    ScopedPlatform installed(clock);
    TempDir dir;
    UseLog(dir.File("t.log"));
    sender_.WriteLog("x-001");
    EXPECT_EQ(ReadFileBytes(dir.File("t.log")), std::string(c.stamp) + "x-001\r\n");
  }
}

TEST_F(LogTest, LongMessagesAreNeverCut) {
  const std::string formatted(2799, 'f');  // a whole format buffer
  const std::string huge(9000, 'h');
  sender_.WriteLog(formatted.c_str());
  sender_.WriteLog(huge.c_str());
  EXPECT_EQ(Log(), kStamp + formatted + "\r\n" + kStamp + huge + "\r\n");
}

TEST_F(LogTest, CodeTakesThePlaceOfD) {
  struct Case {
    const char* format;
    long value;
    const char* stored;
  };
  const Case cases[] = {
      {"SMTP SND : Rcv Ng ErrCode=%d-045\r\n", 10054,
       "SMTP SND : Rcv Ng ErrCode=10054-045\r\r\n\r\n"},
      {"POP3 BEFORE SMTP : Rcv Ng RcvDatLen=%d-040\r\n", -1,
       "POP3 BEFORE SMTP : Rcv Ng RcvDatLen=-1-040\r\r\n\r\n"},
      {"SMTP SND : Res TimeOut TimeOutVal=%d[mSec]-023\r\n", 300000,
       "SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\r\n\r\n"},
      {"100%% of %d, then %d and 5%", 2147483647, "100% of 2147483647, then %d and 5%\r\n"},
      {"min %d", -2147483647L - 1, "min -2147483648\r\n"},
  };
  std::string expected;
  for (const Case& c : cases) {
    sender_.WriteLogCode(c.format, c.value);
    expected += std::string(kStamp) + c.stored;
  }
  EXPECT_EQ(Log(), expected);
}

TEST_F(LogTest, UnopenableLogIsSilentlySkipped) {
  const struct {
    const char* name;
    std::string path;
  } cases[] = {
      {"empty path", ""},
      {"missing directory", File("no-such-dir") + "/" + "mail.log"},
      {"a directory", folder()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UseLog(c.path);
    EXPECT_EQ(sender_.WriteLog("SMTP SND : Snd Ng-061\r\n"), 0);
  }
  EXPECT_FALSE(FileExists(File("no-such-dir")));
}

// The result code does not depend on whether the line could be written.
TEST(LogCallTest, UnwritableLogLeavesResultCodesUnchanged) {
  FrameCall call;
  const TempDir& dir = call.dir;
  const std::string unwritable[] = {"", dir.File("missing") + "/" + "mail.log"};
  for (const std::string& log : unwritable) {
    SCOPED_TRACE("Log '" + log + "'");
    MailSettings record = BaseSettings(25, log, "mail.invalid");
    EXPECT_EQ(Tarnlet1("", &record), -27);
    record.Kind = 3;
    EXPECT_EQ(Tarnlet1("", &record), -30);
  }
  EXPECT_FALSE(FileExists(dir.File("missing")));
}

// A log that a write would wait on (a FIFO nobody reads, a pipe, a device)
// is skipped at once: the call, which holds the call lock, goes on with its
// own code, on the frame's path and on the dialogue's, and another thread's
// call is not held up behind it.
TEST(LogCallTest, LogThatCouldBlockIsSkippedAtOnce) {
  FramePlatform platform;
  ScopedPlatform installed(platform);
  TempDir dir;
  BlockingLogTargets targets(dir);
  const std::string ordinary = dir.File("mail.log");
  for (const std::string& log : targets.paths()) {
    SCOPED_TRACE("Log '" + log + "'");
    auto blocked = std::async(std::launch::async, [&log] {
      MailSettings record = BaseSettings(25, log, "mail.invalid");
      ResultCode dialogue = Tarnlet1("", &record);  // the server name is not found
      record.Kind = 3;
      return std::make_pair(dialogue, Tarnlet1("", &record));
    });
    auto other = std::async(std::launch::async, [&ordinary] {
      MailSettings record = BaseSettings(25, ordinary, "mail.invalid");
      record.Kind = 3;
      return Tarnlet1("", &record);
    });
    // A hang here would hold the test for ever: end it loudly instead.
    const auto limit = std::chrono::seconds(30);
    if (blocked.wait_for(limit) != std::future_status::ready ||
        other.wait_for(limit) != std::future_status::ready) {
      std::fprintf(stderr, "a call waited on its log %s\n", log.c_str());
      std::abort();
    }
    EXPECT_EQ(blocked.get(), std::make_pair(-15, -30));
    EXPECT_EQ(other.get(), -30);
  }
  std::string expected;
  for (std::size_t i = 0; i < targets.paths().size(); ++i) expected += kBadSettingsLine;
  EXPECT_EQ(ReadFileBytes(ordinary), expected);
}

TEST(LogCallTest, LinesOfSeveralCallsAppendInOrder) {
  FrameCall call;
  WriteFileBytes(call.log, "kept by the host\r\n");
  EXPECT_EQ(Tarnlet1("", &call.record), -27);
  call.record.Kind = 3;
  EXPECT_EQ(Tarnlet1("", &call.record), -30);
  EXPECT_EQ(ReadFileBytes(call.log), "kept by the host\r\n" + kStartupLine + kBadSettingsLine);
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
