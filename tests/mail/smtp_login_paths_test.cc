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
const char kChallenge[] = "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n";
const std::string kResponse = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n";

const std::string kEhlo = "EHLO client.example\r\n";
const std::string kAfterLogin =
    "MAIL FROM: <from@example.com>\r\nRCPT TO: to@example.com\r\n"
    "DATA\r\n";
const std::string kMessage = std::string(kBaseHeaders) + "\r\n\r\n.\r\nQUIT\r\n";

// ｢SMTP Auth3認証OP25B Miss-016｣ and its relatives.
const std::string kEhloUnusable = "SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-016";
const std::string kLoginFailed = "SMTP Auth3\x94\x46\x8f\xd8 Miss-017";
const std::string kRsetFailed = "SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-017";
const std::string kOnlyOthers =
    "SMTP AuthOP25B \x96\xa2\x8e\xc0\x91\x95 PLAIN LOGIN DIGEST-MD5 Miss-018";

class MailLoginPathsTest : public MailTest {
 protected:
  MailLoginPathsTest() {
    g_mailSettings.Kind = 1;
    SetField(g_mailSettings.UserName, "tim");
    SetField(g_mailSettings.Password, "tanstaaftanstaaf");
  }

  // Connects to the peer through port, 587 and 465 being routed to it;
  // with front options, through a TLS front before it (the name is then
  // the one its certificate carries).
  ResultCode RunOnPort(ScriptedPeer& peer, std::uint16_t port, const char* front = nullptr) {
    std::uint16_t target = peer.port();
    if (front != nullptr) {
      target = testing::TlsFront(peer.port(), front);
      EXPECT_NE(target, 0) << "no TLS front: run the tests through CTest";
      SetField(g_mailSettings.SMTPServerAddress, "localhost");
      platform_.MapHost("localhost", "127.0.0.1");
    }
    platform_.RoutePort(587, target);
    platform_.RoutePort(465, target);
    g_mailSettings.SMTPPortNo = port == 587 || port == 465 ? port : peer.port();
    return Run("");
  }
};

struct LoginRow {
  const char* what;
  std::uint16_t port;
  std::vector<PeerStep> server;
  ResultCode code;
  std::string transcript;
  std::vector<std::string> log;
  bool tlsCannotStart = false;  // the session cannot be set up (error 5)
  const char* front = nullptr;  // the options of a TLS front before the peer
};

const std::string kStartTls = "250-server\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";
const std::string kTlsStartNg = "SMTP SND : Tls Start Ng ErrCode=5-105\r\n";
const std::string kStartTlsNg = "SMTP SND : StartTls Understand Ng-110\r\n";

TEST_F(MailLoginPathsTest, KindOneByPortAndOfferedMechanisms) {
  const std::string login = kEhlo + "AUTH CRAM-MD5\r\n" + kResponse + "RSET\r\n";
  const std::string plain = "AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\nRSET\r\n";
  const LoginRow rows[] = {
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
       {"SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : User + PassWord Ng-104\r\n", kRsetFailed}},
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
  for (const LoginRow& row : rows) {
    SCOPED_TRACE(row.what);
    ClearLog();
    if (row.tlsCannotStart) platform_.FailNth(Call::kStartTls, 1, 5);
    ScriptedPeer peer(row.server);
    EXPECT_EQ(RunOnPort(peer, row.port, row.front), row.code);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), row.transcript);
    EXPECT_EQ(Log(), StoredLog(row.log));
    ExpectAllReleased();
  }
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
  EXPECT_EQ(RunOnPort(peer, 465, "ask-cert"), -3);
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
  EXPECT_EQ(RunOnPort(peer, 465), -3);
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
  EXPECT_EQ(RunOnPort(peer, 25), 0);
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
    EXPECT_EQ(RunOnPort(smtp, 587), 0);
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
  EXPECT_EQ(Log(),
            StoredLog({"POP3 BEFORE SMTP : Start-024\r\n", "POP3 BEFORE SMTP : Res Rcv Ng-042\r\n",
                       "POP3 BEFORE SMTP : Server Ready Ng-028\r\n",
                       "Pop3\x94\x46\x8f\xd8 Miss-015"}));  // Pop3認証 Miss-015
  EXPECT_FALSE(smtp.Connected());
  ExpectAllReleased();
}

TEST_F(MailLoginPathsTest, Pop3NameThatCannotBeFoundEndsBeforeAnySocket) {
  g_mailSettings.Kind = 2;
  SetField(g_mailSettings.POP3ServerAddress, "pop.example.invalid");
  platform_.ResolveNth(1, LookupResult::kHostNotFound, "", 11001);
  EXPECT_EQ(Run(""), -20);
  // ﾎｽﾄ名が見つからない-010
  EXPECT_EQ(Log(), StoredLog({"\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8"
                              "\x82\xa2-010"}));
  EXPECT_EQ(platform_.Count(Call::kCreateSocket), 0);
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
