// The call lifecycle through the exports: order of the checks, start and
// stop of the socket library, the lock around everything.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame_test_platform.h"
#include "support/fault_platform.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {
namespace {

struct CheckCase {
  const char* name;
  std::function<void(MailSettings&)> change;
  ResultCode expected;
  std::string expectedLog;  // whole file; "" means no file at all
  int expectedStartups;
};

// Startup is set in every case and would fail, so a record that passes the
// earlier checks ends at -27 without any network work.
TEST(CheckOrderTest, FirstFailingCheckDecides) {
  const std::vector<CheckCase> cases = {
      {"no To and no Bcc, bad Kind too",
       [](MailSettings& r) {
         SetField(r.Address, "");
         r.Kind = 3;
       },
       -32, "", 0},
      {"Cc alone is no recipient",
       [](MailSettings& r) {
         SetField(r.Address, "");
         SetField(r.Cc, "cc@example.com");
       },
       -32, "", 0},
      {"Bcc alone passes the recipient check, then Kind 3 fails",
       [](MailSettings& r) {
         SetField(r.Address, "");
         SetField(r.Bcc, "b@example.com");
         r.Kind = 3;
       },
       -30, kBadSettingsLine, 0},
      {"Kind -1", [](MailSettings& r) { r.Kind = -1; }, -30, kBadSettingsLine, 0},
      {"Kind 3", [](MailSettings& r) { r.Kind = 3; }, -30, kBadSettingsLine, 0},
      {"empty SMTP server", [](MailSettings& r) { SetField(r.SMTPServerAddress, ""); }, -30,
       kBadSettingsLine, 0},
      {"empty POP3 server with Kind 0", [](MailSettings& r) { SetField(r.POP3ServerAddress, ""); },
       -30, kBadSettingsLine, 0},
      {"empty own host name", [](MailSettings& r) { SetField(r.MyHostFQDNName, ""); }, -30,
       kBadSettingsLine, 0},
      {"empty sender address", [](MailSettings& r) { SetField(r.MyMailAddress, ""); }, -30,
       kBadSettingsLine, 0},
      {"boundary word with a quote", [](MailSettings& r) { SetField(r.Boundary, "a\"b"); }, -30,
       kBadSettingsLine, 0},
      {"boundary word with a control byte", [](MailSettings& r) { SetField(r.Boundary, "a\tb"); },
       -30, kBadSettingsLine, 0},
      {"boundary word with a Shift-JIS character",
       [](MailSettings& r) { SetField(r.Boundary, "\x8a\xbf"); }, -30, kBadSettingsLine, 0},
      {"boundary text of 71 characters",
       [](MailSettings& r) { SetField(r.Boundary, std::string(59, 'a').c_str()); }, -30,
       kBadSettingsLine, 0},
      {"boundary text of 70 characters, every other allowed character",
       [](MailSettings& r) {
         SetField(r.Boundary, ("'()+_,-./:=? Zz09" + std::string(41, 'a')).c_str());
       },
       -27, kStartupLine, 1},
      {"valid: the failing start-up decides", [](MailSettings&) {}, -27, kStartupLine, 1},
      {"Bcc alone, valid",
       [](MailSettings& r) {
         SetField(r.Address, "");
         SetField(r.Bcc, "b@example.com");
       },
       -27, kStartupLine, 1},
      {"Kind 1", [](MailSettings& r) { r.Kind = 1; }, -27, kStartupLine, 1},
      {"Kind 2", [](MailSettings& r) { r.Kind = 2; }, -27, kStartupLine, 1},
      {"attachments without a boundary word",
       [](MailSettings& r) { SetField(r.AppendFile, "a.txt"); }, -27, kStartupLine, 1},
      {"ports, user and password are not checked",
       [](MailSettings& r) {
         r.SMTPPortNo = 0;
         r.POP3PortNo = 0;
         SetField(r.UserName, "");
         SetField(r.Password, "");
       },
       -27, kStartupLine, 1},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameCall call;
    c.change(call.record);

    EXPECT_EQ(Tarnlet1("body", &call.record), c.expected);
    if (c.expectedLog.empty()) {
      EXPECT_FALSE(FileExists(call.log));
    } else {
      EXPECT_EQ(ReadFileBytes(call.log), c.expectedLog);
    }
    EXPECT_EQ(call.platform.startups(), c.expectedStartups);
    EXPECT_EQ(call.platform.cleanups(), 0) << "a failed start-up is never cleaned up";
  }
}

TEST(CheckOrderTest, CallerRecordIsOnlyRead) {
  FrameCall call(0);
  MailSettings& record = call.record;
  record.Kind = 3;
  const MailSettings before = record;
  EXPECT_EQ(Tarnlet1("", &record), -30);
  EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
  EXPECT_EQ(std::memcmp(&g_mailSettings, &record, sizeof record), 0)
      << "the process-global copy keeps the call's settings";
}

struct LifecycleCase {
  const char* name;
  std::int16_t startup;
  int startupResult;
  ResultCode expected;
  std::vector<std::string> trace;
  std::string log;
};

// The dialogue fails at the lookup of the SMTP server name, which the
// platform answers without the network.
TEST(LifecycleTest, SocketLibraryStoppedOnlyByTheCallThatStartedIt) {
  const std::vector<LifecycleCase> cases = {
      {"Startup 0: the host owns the socket library",
       0,
       0,
       -15,
       {"open", "wait", "resolve", "log", "release", "close"},
       kHostNotFoundLine},
      {"Startup set, dialogue fails: one clean-up before the lock goes",
       1,
       0,
       -15,
       {"open", "wait", "startup", "resolve", "log", "cleanup", "release", "close"},
       kHostNotFoundLine},
      {"Startup set, start-up fails: no clean-up",
       1,
       10091,
       -27,
       {"open", "wait", "startup", "log", "release", "close"},
       kStartupLine},
  };
  for (const LifecycleCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameCall call(c.startupResult);
    call.record.Startup = c.startup;

    EXPECT_EQ(Tarnlet1("body", &call.record), c.expected);
    EXPECT_EQ(call.platform.trace(), c.trace);
    EXPECT_EQ(ReadFileBytes(call.log), c.log);
  }
}

TEST(LifecycleTest, ValidationFailureNeverTouchesTheSocketLibrary) {
  FrameCall call(0);
  SetField(call.record.MyMailAddress, "");
  EXPECT_EQ(Tarnlet1("body", &call.record), -30);
  EXPECT_EQ(call.platform.trace(),
            (std::vector<std::string>{"open", "wait", "log", "release", "close"}));
}

TEST(IniCallTest, MissingFileEndsAtRecipientCheckWithoutLog) {
  FrameCall previous(0);
  previous.record.Kind = 3;
  ASSERT_EQ(Tarnlet1("", &previous.record), -30);
  const int appendsBefore = previous.platform.logAppends();

  EXPECT_EQ(Tarnlet2("body", previous.dir.File("missing.ini").c_str()), -32);
  EXPECT_EQ(previous.platform.logAppends(), appendsBefore);
  const MailSettings zero = {};
  EXPECT_EQ(std::memcmp(&g_mailSettings, &zero, sizeof zero), 0)
      << "nothing of the previous call's settings survives";
}

TEST(IniCallTest, ChecksApplyToTheLoadedSettings) {
  struct Case {
    const char* name;
    const char* send;  // body of the [SEND] section
    const char* kind;
    ResultCode expected;
    const std::string* log;  // null: no file
  };
  const Case cases[] = {
      {"no recipients and Kind 3: -32 without a line", "Cc=c@example.com\n", "3", -32, nullptr},
      {"recipients and Kind 3: -30 with its line", "Address=to@example.com\n", "3", -30,
       &kBadSettingsLine},
      {"recipients, valid: start-up decides", "Bcc=b@example.com\n", "0", -27, &kStartupLine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameCall call;
    const std::string& log = call.log;
    const std::string ini = call.dir.File("settings.ini");
    WriteFileBytes(ini, std::string("[INIT]\nStartup=1\n[AUTH]\nKind=") + c.kind +
                            "\nSMTPServerAddress=mail.invalid\nPOP3ServerAddress=pop.invalid\n"
                            "[SEND]\n" +
                            c.send +
                            "[ETC]\nMyHostFQDNName=client.example.com\n"
                            "MyMailAddress=from@example.com\n[FILE]\nLog=" +
                            log + "\n");
    EXPECT_EQ(Tarnlet2("body", ini.c_str()), c.expected);
    if (c.log == nullptr) {
      EXPECT_FALSE(FileExists(log));
    } else {
      EXPECT_EQ(ReadFileBytes(log), *c.log);
    }
  }
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
