// Login through the whole SMTP dialogue: CRAM-MD5 on any port, and the
// submission port's choice between CRAM-MD5, a bare RSET and refusal.
#include <string>
#include <vector>

#include "mail_fixture.h"
#include "support/pop_scripts.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using testing::CramResponseLine;

const std::string kEhlo = "EHLO client.example\r\n";
const std::string kAuth = "AUTH CRAM-MD5\r\n";
const std::string kRset = "RSET\r\n";
const std::string kAfterLogin =
    "MAIL FROM: <from@example.com>\r\nRCPT TO: to@example.com\r\n"
    "DATA\r\n" +
    std::string(kBaseHeaders) + kTextPartHeader + "Hello\r\n\r\n.\r\nQUIT\r\n";
const std::string kChallenge = "<1896.697170952@postoffice.reston.mci.net>";
const std::string kReplyNg = "SMTP SND : Res Rcv Ng-022\r\n";
// "SMTP Auth3認証 Miss-017"
const std::string kLoginFailed = "SMTP Auth3\x94\x46\x8f\xd8 Miss-017";
// "SMTP Auth3認証OP25B Miss-017"
const std::string kResetFailed = "SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-017";
// "SMTP AuthOP25B 未実装 PLAIN LOGIN DIGEST-MD5 Miss-018"
const std::string kUnsupported =
    "SMTP AuthOP25B \x96\xa2\x8e\xc0\x91\x95 PLAIN LOGIN DIGEST-MD5 Miss-018";

// A server that takes the message after the given EHLO reply and answers
// AUTH with kChallenge.
SmtpServer Server(const std::string& ehloReply) {
  return SmtpServer()
      .Reply("EHLO", ehloReply)
      .Reply("AUTH", "334 " + testing::ReferenceBase64(kChallenge) + "\r\n");
}

class AuthDialogueTest : public MailTest {
 protected:
  AuthDialogueTest() {
    g_mailSettings.Kind = 1;
    SetField(g_mailSettings.UserName, user_);
    SetField(g_mailSettings.Password, password_);
  }

  // Runs the dialogue with the server reached at port (587 is routed).
  ResultCode RunAt(ScriptedPeer& peer, std::uint16_t port) {
    platform_.RoutePort(587, peer.port());
    g_mailSettings.SMTPPortNo = port == 587 ? 587 : peer.port();
    return Run("Hello");
  }

  std::string Response() const { return CramResponseLine(user_, password_, kChallenge); }

  // Longest values the record holds reach the login whole.
  const std::string user_ = std::string(255, 'u');
  const std::string password_ = std::string(255, 'p');
};

TEST_F(AuthDialogueTest, AnyOtherPortAlwaysLogsInWithCramMd5) {
  // The server need not offer CRAM-MD5 on this path.
  ScriptedPeer peer(Server("250 hello\r\n"));
  EXPECT_EQ(RunAt(peer, 25), 0);
  EXPECT_EQ(MaskMessageId(peer.Transcript()), kEhlo + kAuth + Response() + kRset + kAfterLogin);
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

TEST_F(AuthDialogueTest, SubmissionPortFollowsTheOfferedMechanisms) {
  {
    ScriptedPeer peer(Server("250-hello\r\n250-AUTH PLAIN CRAM-MD5\r\n250 SIZE 1000\r\n"));
    EXPECT_EQ(RunAt(peer, 587), 0);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), kEhlo + kAuth + Response() + kRset + kAfterLogin);
  }
  {
    ScriptedPeer peer(Server("250-hello\r\n250 SIZE 1000\r\n"));
    EXPECT_EQ(RunAt(peer, 587), 0);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), kEhlo + kRset + kAfterLogin)
        << "no AUTH offered: a bare RSET, no credentials";
  }
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

TEST_F(AuthDialogueTest, LoginFailuresEndTheCall) {
  struct Row {
    const char* why;
    std::uint16_t port;
    std::vector<PeerStep> script;
    ResultCode code;
    std::string transcript;
    std::vector<std::string> log;
  } rows[] = {
      {"535 to the response",
       25,
       Greet({"250 hello\r\n", "334 " + testing::ReferenceBase64(kChallenge) + "\r\n", "535 no\r\n",
              "221 bye\r\n"}),
       -13,
       kEhlo + kAuth + Response() + "QUIT\r\n",
       {kReplyNg, "SMTP SND : User + PassWord Ng-102\r\n", kLoginFailed}},
      {"challenge not base64",
       587,
       Greet({"250-hello\r\n250 AUTH CRAM-MD5\r\n", "334 not base64!\r\n"}),
       -14,
       kEhlo + kAuth,
       {"SMTP SND : Base64 -> Binary Change Ng-100\r\n", kLoginFailed}},
      {"bare RSET refused",
       587,
       Greet({"250 hello\r\n", "554 no\r\n", "221 bye\r\n"}),
       -13,
       kEhlo + kRset + "QUIT\r\n",
       {kReplyNg, "SMTP SND : User + PassWord Ng-104\r\n", kResetFailed}},
      {"only PLAIN and LOGIN offered",
       587,
       Greet({"250-hello\r\n250 AUTH PLAIN LOGIN\r\n"}),
       -32,
       kEhlo,
       {kUnsupported}},
  };
  for (Row& row : rows) {
    ClearLog();
    ScriptedPeer peer(std::move(row.script));
    EXPECT_EQ(RunAt(peer, row.port), row.code) << row.why;
    EXPECT_EQ(peer.Transcript(), row.transcript) << row.why;
    EXPECT_EQ(Log(), StoredLog(row.log)) << row.why;
    ExpectAllReleased();
  }
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
