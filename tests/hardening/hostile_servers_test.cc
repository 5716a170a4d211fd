// Servers that send what no server should: overlong replies, binary bytes,
// huge challenges and timestamps, endless greetings, resets and silence.
// Every call must end with its own code and log, release everything, and
// take no longer than the time-out.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/mail_fixture.h"
#include "support/pop_scripts.h"
#include "support/tls_front.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using testing::Reset;
using testing::Stall;

constexpr char kReadyNg[] = "SMTP SND : Server Ready Ng-052\r\n";

class HostileServerTest : public MailTest {
 protected:
  // Runs against script and returns the result; the transcript is kept.
  ResultCode RunScript(std::vector<PeerStep> script) {
    ScriptedPeer peer(std::move(script));
    const ResultCode r = RunWith(peer, "Hi\r\n");
    transcript_ = peer.Transcript();
    ExpectAllReleased();
    return r;
  }
  std::string transcript_;
};

TEST_F(HostileServerTest, GreetingsThatAreNoReplyFail) {
  const std::string noLineEnd = "220 " + std::string(1396, 'x');
  const struct {
    const char* name;
    std::vector<PeerStep> script;
  } kCases[] = {
      {"1400 bytes, no line end", {Send(noLineEnd)}},
      {"a greeting that never ends",
       {Send(noLineEnd), Send(std::string(1400, 'y')), Send(std::string(1400, 'z')), Stall()}},
      {"three bytes and silence", {Send("220"), Stall()}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    EXPECT_EQ(RunScript(c.script), -3);
    const std::string log = Log();
    ASSERT_GE(log.size(), sizeof kReadyNg - 1);
    EXPECT_EQ(log.substr(log.size() - StoredLog({kReadyNg}).size()), StoredLog({kReadyNg}));
    EXPECT_EQ(transcript_, "");
  }
}

TEST_F(HostileServerTest, BinaryBytesAfterTheCodeAreIgnored) {
  static const char kGreeting[] = "220 \0\x01\xfe\xff\x1b ready\r\n";
  EXPECT_EQ(RunScript(SmtpServer().Reply("greet", std::string(kGreeting, sizeof kGreeting - 1))),
            0);
  EXPECT_EQ(Log(), "");
  ASSERT_GE(transcript_.size(), 6u);
  EXPECT_EQ(transcript_.substr(transcript_.size() - 6), "QUIT\r\n");
}

TEST_F(HostileServerTest, BinaryOrOverlongRepliesFailTheirStep) {
  const std::string binaryCode("25\0 ok\r\n", 8);
  const std::string overlong = "250 " + std::string(1396, 'q');
  const struct {
    const char* name;
    std::vector<PeerStep> script;
    ResultCode expected;
    std::vector<std::string> log;
  } kCases[] = {
      {"NUL inside the code of the HELO reply",
       {Send("220 hi\r\n"), ExpectLine(), Send(binaryCode), ExpectLine(), Send("221 bye\r\n")},
       -5,
       {"SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : Domain Name Understand Ng-054\r\n"}},
      {"1400-byte MAIL reply without line end",
       {Send("220 hi\r\n"), ExpectLine(), Send("250 hello\r\n"), ExpectLine(), Send(overlong)},
       -6,
       {"SMTP SND : Snd Moto Mail Adr Understand Ng-057\r\n"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    EXPECT_EQ(RunScript(c.script), c.expected);
    EXPECT_EQ(Log(), StoredLog(c.log));
  }
}

TEST_F(HostileServerTest, ResetInsideDataEndsTheCall) {
  ScriptedPeer peer(SmtpServer().At("DATA", {Send("354 go ahead\r\n"), ExpectLine(), Reset()}));
  const std::string body = std::string(200, 'b') + "\r\n";
  std::string text;
  for (int i = 0; i < 200; ++i) text += body;
  g_mailSettings.SMTPPortNo = peer.port();
  const ResultCode r = Run(text.c_str());
  peer.Transcript();
  ExpectAllReleased();
  // Whether a send or the final reply meets the reset depends on timing;
  // either way the code and the last line belong together.
  const std::string log = Log();
  if (r == -4) {
    EXPECT_NE(log.find("Ng-0"), std::string::npos);
    EXPECT_NE(log.find("SMTP SND : Snd Ng ErrCode="), std::string::npos) << log;
  } else {
    EXPECT_EQ(r, -9) << log;
    const std::string last = StoredLog({"SMTP SND : Mail Snd End Understand Ng-096\n"});
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
  }
}

// Silence, and (inside TLS 1.3) records that never carry data: each
// counts against the same time-out.
TEST_F(HostileServerTest, SilentServerTimesOut) {
  std::vector<const char*> fronts = {nullptr};
#ifndef _WIN32  // the Windows build speaks TLS 1.2, which has no such records
  if (std::getenv("TARNLET_UNDER_VALGRIND") == nullptr) fronts.push_back("tickets=100000");
#endif
  for (const char* front : fronts) {
    SCOPED_TRACE(front != nullptr ? front : "silence");
    ClearLog();
    ScriptedPeer peer({Stall()});
    g_mailSettings.SMTPPortNo = peer.port();
    if (front != nullptr) {
      const std::uint16_t port = testing::TlsFront(peer.port(), front);
      ASSERT_NE(port, 0) << "no TLS front: run the tests through CTest";
      platform_.RoutePort(465, port);
      SetField(g_mailSettings.SMTPServerAddress, "localhost");
      platform_.MapHost("localhost", "127.0.0.1");
      g_mailSettings.SMTPPortNo = 465;
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("Hi\r\n"), -3);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    EXPECT_LT(seconds, 30);
    EXPECT_EQ(Log(),
              StoredLog({"SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\n", kReadyNg}));
    EXPECT_EQ(peer.Transcript(), "");
    // However fast the records come, each receive returns after a few.
    EXPECT_LT(platform_.MostWireReadsInOneTlsReceive(), 64);
    ExpectAllReleased();
  }
}

// Challenge text of 1392 base64 characters: the longest valid one that
// fits a 1400-byte receive with its code and line end.
TEST_F(HostileServerTest, LongChallengeIsAnsweredOrRejected) {
  g_mailSettings.Kind = 1;
  SetField(g_mailSettings.UserName, "user");
  SetField(g_mailSettings.Password, "secret");
  std::string challenge;
  for (int i = 0; i < 1044; ++i) challenge += static_cast<char>('!' + i % 90);
  const std::string encoded = testing::ReferenceBase64(challenge);
  ASSERT_EQ(encoded.size(), 1392u);

  const SmtpServer server = SmtpServer()
                                .Reply("EHLO", "250-hello\r\n250 AUTH CRAM-MD5\r\n")
                                .Reply("AUTH", "334 " + encoded + "\r\n");
  EXPECT_EQ(RunScript(server), 0) << Log();
  EXPECT_NE(transcript_.find("AUTH CRAM-MD5\r\n" +
                             testing::CramResponseLine("user", "secret", challenge) + "RSET\r\n"),
            std::string::npos);

  // Two more characters make the text no base64 at all.
  ClearLog();
  EXPECT_EQ(RunScript(Greet({"250-hello\r\n250 AUTH CRAM-MD5\r\n", "334 " + encoded + "AB\r\n"})),
            -14);
  EXPECT_EQ(Log(), StoredLog({"SMTP SND : Base64 -> Binary Change Ng-100\r\n",
                              "SMTP Auth3\x94\x46\x8f\xd8 Miss-017"}));
}

TEST_F(HostileServerTest, ThousandByteApopTimestampIsUsedWhole) {
  std::string timestamp = "<";
  while (timestamp.size() < 998) timestamp += static_cast<char>('0' + timestamp.size() % 10);
  timestamp += "@h>";
  timestamp.resize(999);
  timestamp += ">";
  ASSERT_EQ(timestamp.size(), 1000u);
  ScriptedPeer pop(testing::GreetThenAnswer("+OK " + timestamp + "\r\n", {"+OK\r\n", "+OK\r\n"}));
  g_mailSettings.Kind = 2;
  g_mailSettings.APOP = 1;
  g_mailSettings.POP3PortNo = pop.port();
  SetField(g_mailSettings.UserName, "user");
  SetField(g_mailSettings.Password, "secret");
  EXPECT_EQ(RunScript(SmtpServer()), 0) << Log();
  EXPECT_EQ(pop.Transcript(), testing::ApopLine("user", timestamp, "secret") + "QUIT\r\n");
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
