// Which hello and which login the dialogue chooses: EHLO and CRAM-MD5 for
// kind 1 (on the submission port by what the EHLO reply offers), HELO for
// kinds 0 and 2 on any port, POP before SMTP ahead of the connection.
#include "mail/line_builder.h"
#include "mail_fixture.h"
#include "net/poll_step.h"
#include "support/tls_front.h"
#ifdef _WIN32
#include "support/client_certificate_answer.h"
#endif

namespace tarnlet {
namespace mail_tests {
namespace {

// The worked example of RFC 2195.
const std::string kChallenge = "334 " + kRfcChallenge + "\r\n";
const std::string kResponse = kRfcResponse + "\r\n";

const std::string kAfterLogin =
    "MAIL FROM: <from@example.com>\r\nRCPT TO: to@example.com\r\n"
    "DATA\r\n";
const std::string kMessage = std::string(kBaseHeaders) + "\r\n\r\n.\r\nQUIT\r\n";

class MailLoginPathsTest : public MailTest {
 protected:
  MailLoginPathsTest() { LogIn(1, "tim", "tanstaaftanstaaf"); }
};

const std::string kStartTls = "250-server\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";
const std::string kTlsStartNg = "SMTP SND : Tls Start Ng ErrCode=5-105\r\n";
const std::string kStartTlsNg = "SMTP SND : StartTls Understand Ng-110\r\n";

TEST_F(MailLoginPathsTest, KindOneByPortAndOfferedMechanisms) {
  const std::string login = kEhlo + "AUTH CRAM-MD5\r\n" + kResponse + "RSET\r\n";
  const std::string plain = "AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\nRSET\r\n";
  const std::vector<LoginRow> rows = {
      {"port 25: CRAM-MD5 login, then RSET",
       25,
       SmtpServer().Reply("AUTH", kChallenge),
       0,
       login + kAfterLogin + kMessage,
       {}},
      {"587: CRAM-MD5 offered",
       587,
       SmtpServer()
           .Reply("EHLO", "250-server\r\n250-AUTH LOGIN CRAM-MD5\r\n250 OK\r\n")
           .Reply("AUTH", kChallenge),
       0,
       login + kAfterLogin + kMessage,
       {}},
      {"587: no AUTH offered: RSET alone, no login",
       587,
       SmtpServer().Reply("EHLO", "250-server\r\n250 HELP\r\n"),
       0,
       kEhlo + "RSET\r\n" + kAfterLogin + kMessage,
       {}},
      {"587: only PLAIN and LOGIN offered",
       587,
       SmtpServer().Reply("EHLO", "250-server\r\n250 AUTH PLAIN LOGIN\r\n"),
       -32,
       kEhlo,
       {kOnlyOthers}},
      {"587: AUTH naming no known mechanism",
       587,
       SmtpServer().Reply("EHLO", "250 AUTH GSSAPI\r\n"),
       -13,
       kEhlo,
       {kEhloUnusable}},
      {"587: EHLO refused",
       587,
       SmtpServer().Reply("EHLO", "554 no\r\n"),
       -13,
       kEhlo + "QUIT\r\n",
       {"SMTP SND : Res Rcv OP25B Ng-022\r\n", kEhloUnusable}},
      {"587: RSET refused",
       587,
       SmtpServer().Reply("EHLO", "250 OK\r\n").Reply("RSET", "500 what\r\n"),
       -13,
       kEhlo + "RSET\r\nQUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : User + PassWord Ng-104\r\n", kResetFailed}},
      {"587: STARTTLS offered beside CRAM-MD5: CRAM-MD5 in clear text as before",
       587,
       SmtpServer()
           .Reply("EHLO", "250-server\r\n250-STARTTLS\r\n250 AUTH CRAM-MD5\r\n")
           .Reply("AUTH", kChallenge),
       0,
       login + kAfterLogin + kMessage,
       {}},
      {"587: STARTTLS answered 454: QUIT, nothing else",
       587,
       SmtpServer().Reply("EHLO", kStartTls).Reply("STARTTLS", "454 not now\r\n"),
       -13,
       kEhlo + "STARTTLS\r\nQUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", kStartTlsNg}},
      {"587: bytes injected behind the 220",
       587,
       SmtpServer().Reply("EHLO", kStartTls).Reply("STARTTLS", "220 go\r\n250 AUTH\r\n"),
       -13,
       kEhlo + "STARTTLS\r\n",
       {"SMTP SND : StartTls Rcv Ng RcvDatLen=10-111\r\n", kStartTlsNg}},
      {"587: TLS cannot start after the 220: nothing more is sent",
       587,
       SmtpServer().Reply("EHLO", kStartTls).Reply("STARTTLS", "220 go\r\n"),
       -13,
       kEhlo + "STARTTLS\r\n",
       {kTlsStartNg, "SMTP SND : StartTls Tls Connect Ng-112\r\n"},
       true},
      {"465: TLS cannot start: no greeting is read, nothing is sent",
       465,
       SmtpServer(),
       -3,
       "",
       {kTlsStartNg, "SMTP SND : Tls Connect Ng-108\r\n"},
       true},
      {"465 inside TLS, each line of every reply a record of its own: PLAIN",
       465,
       SmtpServer()
           .Reply("EHLO", "250-server\r\n250-SIZE 1000\r\n250 AUTH PLAIN LOGIN\r\n")
           .Reply("AUTH", "235 ok\r\n"),
       0,
       kEhlo + plain + kAfterLogin + kMessage,
       {},
       false,
       "lines"},
      {"465 inside TLS, every TLS byte dripped: PLAIN",
       465,
       SmtpServer().Reply("EHLO", "250-server\r\n250 AUTH PLAIN\r\n").Reply("AUTH", "235 ok\r\n"),
       0,
       kEhlo + plain + kAfterLogin + kMessage,
       {},
       false,
       "drip"},
      {"587: lower-case starttls: STARTTLS, then PLAIN inside TLS",
       587,
       SmtpServer()
           .Reply("EHLO", "250-server\r\n250-starttls\r\n250 auth plain\r\n")
           .Reply("AUTH", "235 ok\r\n"),
       0,
       kEhlo + "STARTTLS\r\n" + kEhlo + plain + kAfterLogin + kMessage,
       {},
       false,
       "starttls lines"},
      {"587 inside TLS, the server asks for a client certificate: none is sent",
       587,
       SmtpServer().Reply("EHLO", kStartTls).Reply("AUTH", "235 ok\r\n"),
       0,
       kEhlo + "STARTTLS\r\n" + kEhlo + plain + kAfterLogin + kMessage,
       {},
       false,
       "starttls ask-cert"},
      {"port 25: CRAM-MD5 tried although not offered",
       25,
       SmtpServer().Reply("EHLO", "250 OK\r\n").Reply("AUTH", "504 unrecognized\r\n"),
       -13,
       kEhlo + "AUTH CRAM-MD5\r\n",
       {"SMTP SND : Res Rcv Ng-047\r\n", "SMTP SND : Auth Command Understand Ng-099\r\n",
        kLoginFailed}},
      {"port 25: login refused",
       25,
       SmtpServer().Reply("AUTH", kChallenge).Reply("RESPONSE", "535 bad\r\n"),
       -13,
       kEhlo + "AUTH CRAM-MD5\r\n" + kResponse + "QUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : User + PassWord Ng-102\r\n", kLoginFailed}},
      {"port 25: EHLO refused",
       25,
       SmtpServer().Reply("EHLO", "500 what\r\n"),
       -5,
       kEhlo + "QUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : Domain Name Understand Ng-054\r\n"}},
  };
#ifdef _WIN32
  // The request for a client certificate is answered as Windows answers it.
  testing::ClientCertificateAnswer answer(testing::ClientCertificateAnswer::kAsWindows);
#endif
  RunLoginRows(rows);
#ifdef _WIN32
  EXPECT_EQ(answer.given(), 1);  // the row that asks, answered as Windows answers
#endif
}

#ifdef _WIN32
// Asked again after it went on without a certificate, the engine gives up:
// SChannel's status SEC_I_INCOMPLETE_CREDENTIALS, at once.
TEST_F(MailLoginPathsTest, ClientCertificateAskedForAgainFailsTheHandshake) {
  testing::ClientCertificateAnswer answer(testing::ClientCertificateAnswer::kAlways);
  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunAt(peer, 465, "", "ask-cert"), -3);
  EXPECT_EQ(Log(), StoredLog({"SMTP SND : Tls Handshake Ng ErrCode=590624-106\r\n",
                              "SMTP SND : Tls Connect Ng-108\r\n"}));
  EXPECT_EQ(answer.given(), 2);
  EXPECT_LT(platform_.Sleeps(), 100u);  // at once, not after the time-out
  EXPECT_EQ(peer.Transcript(), "");
  ExpectAllReleased();
}
#endif

TEST_F(MailLoginPathsTest, StalledHandshakeEndsWithTheTimeOutLine) {
  ScriptedPeer peer({testing::Stall()});
  EXPECT_EQ(RunAt(peer, 465), -3);
  EXPECT_EQ(Log(), StoredLog({"SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\n",
                              "SMTP SND : Tls Connect Ng-108\r\n"}));
  EXPECT_EQ(platform_.TlsHosts(),
            std::vector<std::string>{std::string(FieldText(g_mailSettings.SMTPServerAddress))});
  EXPECT_EQ(platform_.Count(Call::kTlsSend), 0);
  ExpectAllReleased();
}

TEST_F(MailLoginPathsTest, LongestUserNameReachesTheLoginWhole) {
  const std::string user(255, 'u');
  SetField(g_mailSettings.UserName, user);
  ScriptedPeer peer(SmtpServer().Reply("AUTH", kChallenge));
  EXPECT_EQ(RunAt(peer, 25), 0);
  const std::string transcript = peer.Transcript();
  const std::size_t start = transcript.find("AUTH CRAM-MD5\r\n") + 15;
  const std::string response =
      DecodeBase64(transcript.substr(start, transcript.find("\r\n", start) - start));
  ASSERT_EQ(response.size(), 255u + 1 + 32) << response;
  EXPECT_EQ(response.substr(0, 256), user + " ");
}

TEST_F(MailLoginPathsTest, KindsZeroAndTwoSayHeloOnTheSubmissionPort) {
  const std::string helo = "HELO client.example\r\n";
  SetField(g_mailSettings.UserName, "user");
  SetField(g_mailSettings.Password, "secret");
  for (int kind : {0, 2}) {
    SCOPED_TRACE(kind);
    ClearLog();
    g_mailSettings.Kind = static_cast<std::int16_t>(kind);
    ScriptedPeer pop(Greet({"+OK\r\n", "+OK\r\n", "+OK bye\r\n"}, "+OK ready\r\n"));
    g_mailSettings.POP3PortNo = pop.port();
    ScriptedPeer smtp{SmtpServer()};
    EXPECT_EQ(RunAt(smtp, 587), 0);
    EXPECT_EQ(MaskMessageId(smtp.Transcript()), helo + kAfterLogin + kMessage);
    if (kind == 2) {
      EXPECT_EQ(pop.Transcript(), "USER user\r\nPASS secret\r\nQUIT\r\n");
      EXPECT_EQ(Log(), StoredLog({"POP3 BEFORE SMTP : Start-024\r\n",
                                  "POP3 BEFORE SMTP : Complete-038\r\n"}));
    } else {
      EXPECT_EQ(Log(), "");
    }
    ExpectAllReleased();
  }
}

TEST_F(MailLoginPathsTest, FailedPopLoginKeepsTheSmtpServerUncontacted) {
  g_mailSettings.Kind = 2;
  ScriptedPeer pop(Greet({}, "-ERR busy\r\n"));
  g_mailSettings.POP3PortNo = pop.port();
  ScriptedPeer smtp{SmtpServer()};
  g_mailSettings.SMTPPortNo = smtp.port();
  EXPECT_EQ(Run(""), -12);
  EXPECT_EQ(Log(), StoredLog({kPopStart, kPopNotOk, kPopGreetingNg, kPopFailed}));
  EXPECT_FALSE(smtp.Connected());
  ExpectAllReleased();
}

TEST_F(MailLoginPathsTest, Pop3NameThatCannotBeFoundEndsBeforeAnySocket) {
  g_mailSettings.Kind = 2;
  ExpectNotFound(g_mailSettings.POP3ServerAddress, -20, "-010");
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
