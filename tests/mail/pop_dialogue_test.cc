// POP before SMTP through the whole SMTP dialogue: the POP3 login comes
// first on its own connection, and its failure keeps the SMTP server
// untouched.
#include <string>

#include "mail_fixture.h"
#include "support/pop_scripts.h"

namespace tarnlet {
namespace mail_tests {
namespace {

const std::string kSmtpTranscript =
    "HELO client.example\r\nMAIL FROM: <from@example.com>\r\nRCPT TO: to@example.com\r\n"
    "DATA\r\n" +
    std::string(kBaseHeaders) + kTextPartHeader + "Hello\r\n\r\n.\r\nQUIT\r\n";

class PopDialogueTest : public MailTest {
 protected:
  PopDialogueTest() { LogIn(2, "mrose", "tanstaaf"); }
  ResultCode RunWithBoth(ScriptedPeer& pop, ScriptedPeer& smtp) {
    g_mailSettings.POP3PortNo = pop.port();
    return RunWith(smtp, "Hello");
  }
};

TEST_F(PopDialogueTest, LoginComesFirstThenTheMessage) {
  struct Row {
    std::int16_t apop;
    std::vector<PeerStep> pop;
    std::string popTranscript;
  } rows[] = {
      {0, testing::GreetThenAnswer("+OK ready\r\n", {"+OK\r\n", "+OK\r\n", "+OK\r\n"}),
       "USER mrose\r\nPASS tanstaaf\r\nQUIT\r\n"},
      {1, testing::GreetThenAnswer(kRfcGreeting, {"+OK\r\n", "+OK\r\n"}),
       "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\nQUIT\r\n"},
  };
  for (Row& row : rows) {
    ClearLog();
    g_mailSettings.APOP = row.apop;
    ScriptedPeer pop(std::move(row.pop));
    ScriptedPeer smtp{SmtpServer()};
    EXPECT_EQ(RunWithBoth(pop, smtp), 0);
    EXPECT_EQ(pop.Transcript(), row.popTranscript);
    EXPECT_EQ(MaskMessageId(smtp.Transcript()), kSmtpTranscript);
    EXPECT_EQ(Log(), StoredLog({kPopStart, kPopComplete}));
    ExpectAllReleased();
  }
}

TEST_F(PopDialogueTest, FailedLoginNeverContactsTheSmtpServer) {
  ScriptedPeer pop(testing::GreetThenAnswer("+OK ready\r\n", {"+OK\r\n", "-ERR denied\r\n"}));
  ScriptedPeer smtp{SmtpServer()};
  EXPECT_EQ(RunWithBoth(pop, smtp), -12);
  EXPECT_EQ(pop.Transcript(), "USER mrose\r\nPASS tanstaaf\r\n");
  EXPECT_FALSE(smtp.Connected());
  EXPECT_EQ(Log(), StoredLog({kPopStart, "POP3 BEFORE SMTP : Res Rcv Ng-042\r\n",
                              "POP3 BEFORE SMTP : Password Understand Ng-032\r\n", kPopFailed}));
  ExpectAllReleased();
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
