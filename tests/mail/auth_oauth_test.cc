// The AUTH line that carries a token, what a refused token is answered
// with, and the submission path with and without a profile: OAuth only
// inside TLS, never the password, and no change without a profile.
#include <string>
#include <vector>

#include "mail/oauth_access_token.h"
#include "mail/smtp_steps.h"
#include "mail_fixture.h"
#include "support/pop_scripts.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using testing::AnswerLines;
using testing::SenderTest;

const char kRefused[] = "SMTP SND : OAuth Token Refused-131\r\n";

class AuthOauthTest : public SenderTest {
 protected:
  struct Outcome {
    ResultCode result;
    std::string transcript;
  };

  Outcome Run(std::vector<PeerStep> script, OauthMechanism mechanism, const std::string& token) {
    ScriptedPeer peer(std::move(script));
    Exchange smtp(sender_, GiveUpOrder::kCloseThenLog, Connect(peer.port()));
    const Secret secret(token.c_str());
    const OauthLogin login{mechanism, "me@example.jp", &secret, "smtp.example.com", 587};
    Outcome outcome{AuthOauth(smtp, login), ""};
    EXPECT_EQ(platform_.OpenSockets(), outcome.result == 0 ? 1 : 0);
    smtp.Close();
    outcome.transcript = peer.Transcript();
    return outcome;
  }
};

TEST_F(AuthOauthTest, TheTokenGoesInTheInitialResponse) {
  // Tokens of real providers run to 3 KB; 8 KB still go on one line.
  const std::string big(8192, 'J');
  struct Row {
    const char* why;
    OauthMechanism mechanism;
    std::string token;
    std::string message;  // what the base64 of the AUTH line holds
    const char* command;
  } rows[] = {
      {"XOAUTH2", OauthMechanism::kXoauth2, "ya29.tok",
       "user=me@example.jp\x01"
       "auth=Bearer ya29.tok\x01\x01",
       "AUTH XOAUTH2 "},
      {"OAUTHBEARER, RFC 7628 3.1", OauthMechanism::kOauthBearer, "ya29.tok",
       "n,a=me@example.jp,\x01host=smtp.example.com\x01port=587\x01"
       "auth=Bearer ya29.tok\x01\x01",
       "AUTH OAUTHBEARER "},
      {"an 8 KB token", OauthMechanism::kXoauth2, big,
       "user=me@example.jp\x01"
       "auth=Bearer " +
           big + "\x01\x01",
       "AUTH XOAUTH2 "},
  };
  for (const Row& row : rows) {
    Outcome out = Run(AnswerLines({"235 2.7.0 ok\r\n", "250 reset\r\n"}), row.mechanism, row.token);
    EXPECT_EQ(out.result, 0) << row.why;
    EXPECT_EQ(out.transcript, row.command + testing::ReferenceBase64(row.message) + "\r\nRSET\r\n")
        << row.why;
    EXPECT_EQ(Log(), "") << row.why;
  }
}

TEST_F(AuthOauthTest, ARefusedTokenIsAnsweredThenQuit) {
  const std::string error = "334 eyJzdGF0dXMiOiI0MDEifQ==\r\n";
  struct Row {
    const char* why;
    OauthMechanism mechanism;
    std::vector<std::string> replies;
    std::string after;  // the client's lines after the AUTH line
    std::vector<std::string> log;
  } rows[] = {
      {"XOAUTH2: an empty line",
       OauthMechanism::kXoauth2,
       {error, "535 5.7.8 no\r\n", "221 bye\r\n"},
       "\r\nQUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", kRefused}},
      {"OAUTHBEARER: ^A",
       OauthMechanism::kOauthBearer,
       {error, "535 5.7.8 no\r\n", "221 bye\r\n"},
       "AQ==\r\nQUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", kRefused}},
      {"refused at once",
       OauthMechanism::kXoauth2,
       {"535 5.7.139 basic\r\n", "221 bye\r\n"},
       "QUIT\r\n",
       {"SMTP SND : Res Rcv Ng-022\r\n", kRefused}},
  };
  for (const Row& row : rows) {
    ClearLog();
    Outcome out = Run(AnswerLines(row.replies), row.mechanism, "tok");
    EXPECT_EQ(out.result, -13) << row.why;
    const std::size_t end = out.transcript.find("\r\n") + 2;
    EXPECT_EQ(out.transcript.substr(end), row.after) << row.why;
    EXPECT_EQ(Log(), testing::StoredLog(row.log)) << row.why;
  }
}

class OauthSubmissionTest : public MailTest {
 protected:
  OauthSubmissionTest() {
    LogIn(1, "me@example.jp", "never-sent");
    SetField(g_mailSettings.SMTPServerAddress, "127.0.0.1");
    testing::WritePrivateFile(File("oauth.ini"),
                              "[p]\r\nServer=127.0.0.1\r\nUser=ME@example.jp\r\n"
                              "TokenUrl=https://login.example/token\r\nClientId=id\r\n");
    platform_.SetEnvironment("TARNLET_OAUTH_FILE", File("oauth.ini"));
    ForgetKeptTokens();
  }
};

TEST_F(OauthSubmissionTest, NoTokenOutsideTlsAndNeverThePassword) {
  const std::string ehlo = "EHLO client.example\r\n";
  const std::string loginFailed = "SMTP Auth3\x94\x46\x8f\xd8 Miss-017";
  struct Row {
    const char* why;
    bool profile;
    std::string offer;
    ResultCode code;
    std::vector<std::string> log;
    int openToOthers = 0;  // the profile file fails its check
  } rows[] = {
      {"XOAUTH2 in clear text only",
       true,
       "250-server\r\n250 AUTH XOAUTH2 PLAIN\r\n",
       -32,
       {"SMTP SND : OAuth Mechanism Not Offered In Tls-129\r\n"}},
      {"no AUTH at all: no bare RSET either",
       true,
       "250 server\r\n",
       -32,
       {"SMTP SND : OAuth Mechanism Not Offered In Tls-129\r\n"}},
      {"the profile file readable by others",
       true,
       "250 AUTH XOAUTH2\r\n",
       -13,
       {"SMTP SND : OAuth File Readable By Others Ng-119\r\n", loginFailed},
       1},
      {"no profile: XOAUTH2 alone is no mechanism, as before",
       false,
       "250-server\r\n250 AUTH XOAUTH2 OAUTHBEARER\r\n",
       -13,
       {"SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-016"}},
  };
  for (const Row& row : rows) {
    ClearLog();
    platform_.SetEnvironment("TARNLET_OAUTH_FILE", row.profile ? File("oauth.ini") : "");
    if (row.openToOthers != 0) platform_.FailNth(Call::kCheckPrivacy, 1, 0);
    ScriptedPeer peer(SmtpServer().Reply("EHLO", row.offer));
    EXPECT_EQ(RunAt(peer, 587), row.code) << row.why;
    EXPECT_EQ(peer.Transcript(), ehlo) << row.why;
    EXPECT_EQ(Log(), testing::StoredLog(row.log)) << row.why;
  }
  EXPECT_TRUE(platform_.TokenRequests().empty());
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
