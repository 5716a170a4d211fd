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

const std::string kAuth = "AUTH CRAM-MD5\r\n";
const std::string kRset = "RSET\r\n";
const std::string kAfterLogin =
    "MAIL FROM: <from@example.com>\r\nRCPT TO: to@example.com\r\n"
    "DATA\r\n" +
    std::string(kBaseHeaders) + kTextPartHeader + "Hello\r\n\r\n.\r\nQUIT\r\n";
const std::string kChallenge = "<1896.697170952@postoffice.reston.mci.net>";

// A server that takes the message after the given EHLO reply and answers
// AUTH with kChallenge.
SmtpServer Server(const std::string& ehloReply) {
  return SmtpServer()
      .Reply("EHLO", ehloReply)
      .Reply("AUTH", "334 " + testing::ReferenceBase64(kChallenge) + "\r\n");
}

class AuthDialogueTest : public MailTest {
 protected:
  AuthDialogueTest() { LogIn(1, user_, password_); }

  std::string Response() const { return CramResponseLine(user_, password_, kChallenge); }

  // Longest values the record holds reach the login whole.
  const std::string user_ = std::string(255, 'u');
  const std::string password_ = std::string(255, 'p');
};

TEST_F(AuthDialogueTest, AnyOtherPortAlwaysLogsInWithCramMd5) {
  // The server need not offer CRAM-MD5 on this path.
  ScriptedPeer peer(Server("250 hello\r\n"));
  EXPECT_EQ(RunAt(peer, 25, "Hello"), 0);
  EXPECT_EQ(MaskMessageId(peer.Transcript()), kEhlo + kAuth + Response() + kRset + kAfterLogin);
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

TEST_F(AuthDialogueTest, SubmissionPortFollowsTheOfferedMechanisms) {
  {
    ScriptedPeer peer(Server("250-hello\r\n250-AUTH PLAIN CRAM-MD5\r\n250 SIZE 1000\r\n"));
    EXPECT_EQ(RunAt(peer, 587, "Hello"), 0);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), kEhlo + kAuth + Response() + kRset + kAfterLogin);
  }
  {
    ScriptedPeer peer(Server("250-hello\r\n250 SIZE 1000\r\n"));
    EXPECT_EQ(RunAt(peer, 587, "Hello"), 0);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), kEhlo + kRset + kAfterLogin)
        << "no AUTH offered: a bare RSET, no credentials";
  }
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

TEST_F(AuthDialogueTest, LoginFailuresEndTheCall) {
  RunLoginRows({
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
       {kOnlyOthers}},
  });
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
