// The SMTP dialogue from greeting to QUIT against a scripted server: the
// plain path, and every way it gives up with its code and log lines.
#include <functional>

#include "mail_fixture.h"

namespace tarnlet {
namespace mail_tests {
namespace {

const std::string kSendNg = SendNg(10054);

const std::string kHelo = "HELO client.example\r\n";
const std::string kMail = "MAIL FROM: <from@example.com>\r\n";
const std::string kRcpt = "RCPT TO: to@example.com\r\n";
const std::string kData = "DATA\r\n";
const std::string kQuit = "QUIT\r\n";
const std::string kMessage = std::string(kBaseHeaders) + kTextPartHeader + "Hello\r\n\r\n.\r\n";

using MailDialogueTest = MailTest;

TEST_F(MailDialogueTest, PlainPathSendsEveryCommandAndLeavesTheLogEmpty) {
  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunWith(peer, "Hello"), 0);
  EXPECT_EQ(MaskMessageId(peer.Transcript()), kHelo + kMail + kRcpt + kData + kMessage + kQuit);
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

void NoFault(FaultPlatform&) {}

// Fails the send of the command that begins with text.
std::function<void(FaultPlatform&)> FailSend(const char* text) {
  return [text](FaultPlatform& p) { p.FailSendOf(text, 10054); };
}

std::vector<FaultRow> FailureRows() {
  const std::string endUnderstandNg = "SMTP SND : Mail Snd End Understand Ng-096\n";
  return {
      {"non-blocking mode",
       SmtpServer(),
       [](FaultPlatform& p) { p.FailNth(Call::kSetNonBlocking, 1, 10022); },
       -2,
       "",
       {"SMTP SND : None Bloking Mode Set Ng ErrCode=10022-051\r\n"}},
      {"greeting 554",
       SmtpServer().Reply("greet", "554 busy\r\n"),
       NoFault,
       -3,
       kQuit,
       {kReplyNg, "SMTP SND : Server Ready Ng-052\r\n"}},
      {"greeting receive error",
       SmtpServer(),
       [](FaultPlatform& p) { p.FailNth(Call::kReceive, 1, 10054); },
       -3,
       "",
       {"SMTP SND : Rcv Ng ErrCode=10054-020\r\n", "SMTP SND : Server Ready Ng-052\r\n"}},
      {"HELO send",
       SmtpServer(),
       FailSend("HELO"),
       -4,
       "",
       {kSendNg, "SMTP SND : Domain Name Snd Ng-053\r\n"}},
      {"HELO reply 501",
       SmtpServer().Reply("HELO", "501 syntax\r\n"),
       NoFault,
       -5,
       kHelo + kQuit,
       {kReplyNg, "SMTP SND : Domain Name Understand Ng-054\r\n"}},
      {"MAIL FROM send",
       SmtpServer(),
       FailSend("MAIL"),
       -4,
       kHelo,
       {kSendNg, "SMTP SND : Snd Moto Mail Adr Snd Ng-056\r\n"}},
      {"MAIL FROM reply 550",
       SmtpServer().Reply("MAIL", "550 no\r\n"),
       NoFault,
       -6,
       kHelo + kMail + kQuit,
       {kReplyNg, "SMTP SND : Snd Moto Mail Adr Understand Ng-057\r\n"}},
      {"RCPT TO send", SmtpServer(), FailSend("RCPT"), -4, kHelo + kMail, {kSendNg, "0-058\r\n"}},
      {"RCPT TO reply 550",
       SmtpServer().Reply("RCPT", "550 unknown\r\n"),
       NoFault,
       -7,
       kHelo + kMail + kRcpt + kQuit,
       {kReplyNg, "0-058\r\n"}},
      {"DATA send",
       SmtpServer(),
       FailSend("DATA"),
       -4,
       kHelo + kMail + kRcpt,
       {kSendNg, "SMTP SND : Mail Snd Start Snd Ng-059\r\n"}},
      {"DATA reply 451",
       SmtpServer().Reply("DATA", "451 later\r\n"),
       NoFault,
       -8,
       kHelo + kMail + kRcpt + kData + kQuit,
       {kReplyNg, "SMTP SND : Mail Snd Start Understand Ng-060\r\n"}},
      {"end of data reply 554",
       SmtpServer().Reply("END", "554 rejected\r\n"),
       NoFault,
       -9,
       kHelo + kMail + kRcpt + kData + kMessage + kQuit,
       {kReplyNg, endUnderstandNg}},
      {"end of data reply without CR LF",
       SmtpServer().Reply("END", "250 queued\n"),
       NoFault,
       -9,
       kHelo + kMail + kRcpt + kData + kMessage,
       {endUnderstandNg}},
  };
}

TEST_F(MailDialogueTest, EveryFailingStepClosesLogsInOrderAndReturnsItsCode) {
  for (FaultRow& row : FailureRows()) {
    SCOPED_TRACE(row.what);
    ClearLog();
    ScriptedPeer peer(row.script);
    row.fault(platform_);
    EXPECT_EQ(RunWith(peer, "Hello"), row.code);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), row.transcript);
    EXPECT_EQ(Log(), StoredLog(row.log));
    ExpectAllReleased();
  }
}

// No server is contacted in these rows.
TEST_F(MailDialogueTest, SocketAndConnectFailuresLogTheSystemError) {
  struct Row {
    Call call;
    int error;
    ResultCode code;
    std::string line;
  } rows[] = {
      {Call::kCreateSocket, 10024, -1, "SMTP SND : Sock Create Ng ErrCode=10024-016\r\n"},
      {Call::kConnect, 10061, -2, "SMTP SND : Connect Ng ErrCode=10061-050\r\n"},
  };
  g_mailSettings.SMTPPortNo = testing::ClosedPort();
  for (const Row& row : rows) {
    ClearLog();
    platform_.FailNth(row.call, 1, row.error);
    EXPECT_EQ(Run("Hello"), row.code);
    EXPECT_EQ(Log(), StoredLog({row.line}));
    ExpectAllReleased();
  }
}

TEST_F(MailDialogueTest, ConnectRefusedByARealClosedPort) {
  g_mailSettings.SMTPPortNo = testing::ClosedPort();
  EXPECT_EQ(Run("Hello"), -2);
  const std::string log = Log();
  EXPECT_EQ(log.rfind("2026/03/05 09:07:03  SMTP SND : Connect Ng ErrCode=", 0), 0u) << log;
  EXPECT_EQ(log.substr(log.size() - 9), "-050\r\r\n\r\n") << log;
  ExpectAllReleased();
}

// The message was taken by the server; a QUIT that fails must not make the
// host send it a second time.
TEST_F(MailDialogueTest, FailedQuitAfterAcceptedMessageIsLoggedButSucceeds) {
  const std::string quitNg = "SMTP SND : Quit Understand Ng-049\r\n";
  struct Row {
    const char* what;
    std::string quitReply;
    std::vector<std::string> log;
  } rows[] = {
      {"QUIT answered 500", "500 what\r\n", {kReplyNg, quitNg, "1-097\n"}},
      {"QUIT answered without CR LF", "221 bye", {quitNg, "1-097\n"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ClearLog();
    ScriptedPeer peer(SmtpServer().Reply("QUIT", row.quitReply));
    EXPECT_EQ(RunWith(peer, "Hello"), 0);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), kHelo + kMail + kRcpt + kData + kMessage + kQuit);
    EXPECT_EQ(Log(), StoredLog(row.log));
    ExpectAllReleased();
  }

  ClearLog();
  ScriptedPeer peer{SmtpServer()};
  platform_.FailSendOf("QUIT", 10054);
  g_mailSettings.X_MailerName[0] = '\0';
  EXPECT_EQ(RunWith(peer, ""), 0);
  EXPECT_EQ(Log(), StoredLog({kSendNg, "SMTP SND : Quit Snd Ng-048\r\n", "1-097\n"}));
  ExpectAllReleased();
}

TEST_F(MailDialogueTest, SmtpServerNameThatCannotBeFoundEndsBeforeAnySocket) {
  ExpectNotFound(g_mailSettings.SMTPServerAddress, -15, "-004");
}

TEST_F(MailDialogueTest, ServerNameIsLookedUpAndItsAddressUsed) {
  ScriptedPeer peer{SmtpServer()};
  SetField(g_mailSettings.SMTPServerAddress, "mail.example.test");
  SetField(g_mailSettings.POP3ServerAddress, "pop.example.test");  // never looked at
  platform_.MapHost("mail.example.test", "127.0.0.1");
  EXPECT_EQ(RunWith(peer, "Hello"), 0);
  EXPECT_EQ(platform_.Count(Call::kResolve), 1);
  EXPECT_TRUE(peer.Connected());
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
