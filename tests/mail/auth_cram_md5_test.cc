#include <functional>
#include <string>
#include <vector>

#include "log_lines.h"
#include "mail/smtp_steps.h"
#include "support/pop_scripts.h"

namespace tarnlet {
namespace testing {
namespace {

using namespace lines;
const std::string kSendNg = SendNg(4711);

class CramMd5Test : public LoginTest {
 protected:
  struct Outcome {
    ResultCode result;
    std::string transcript;
  };

  Outcome Run(std::vector<PeerStep> script, const std::string& user, const std::string& password) {
    ScriptedPeer peer(std::move(script));
    Exchange smtp(sender_, GiveUpOrder::kCloseThenLog, Connect(peer.port()));
    Outcome outcome{AuthCramMd5(smtp, user.c_str(), password.c_str()), ""};
    // Open exactly while the login holds: every failure closes it.
    EXPECT_EQ(platform_.OpenSockets(), outcome.result == 0 ? 1 : 0);
    smtp.Close();
    outcome.transcript = peer.Transcript();
    return outcome;
  }
};

TEST_F(CramMd5Test, ReproducesTheWorkedExampleOfRfc2195) {
  Outcome out = Run(AnswerLines({std::string("334 ") + kRfcChallenge + "\r\n",
                                 "235 2.7.0 Authentication successful\r\n", "250 OK\r\n"}),
                    "tim", "tanstaaftanstaaf");
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.transcript, std::string("AUTH CRAM-MD5\r\n") + kRfcResponse + "\r\nRSET\r\n");
  EXPECT_EQ(sender_.lastReplyCode, 250);
  EXPECT_EQ(Log(), "");
}

TEST_F(CramMd5Test, EveryCredentialTheRecordHoldsLogsIn) {
  const std::string rfcChallenge = "<1896.697170952@postoffice.reston.mci.net>";
  // The longest base64 text one 1400-byte reply carries: 1392 characters.
  std::string longest;
  for (int i = 0; i < 1044; ++i) longest += static_cast<char>('!' + i % 90);
  struct Case {
    const char* why;
    std::string user;
    std::string password;
    std::string challenge;
  } cases[] = {
      {"empty password: the pads stay as they are", "user", "", rfcChallenge},
      {"password filling the block", "user", std::string(64, 'p'), rfcChallenge},
      {"password one byte over the block", "user", std::string(65, 'p'), rfcChallenge},
      {"longest password", "user", std::string(255, '\xfe'), rfcChallenge},
      {"user name of 99 bytes", std::string(99, 'u'), "secret", rfcChallenge},
      {"longest user name", std::string(255, 'u'), std::string(255, 'p'), rfcChallenge},
      {"empty challenge", "user", "secret", ""},
      {"longest challenge one reply carries", "user", "secret", longest},
  };
  for (const Case& c : cases) {
    const std::string encoded = ReferenceBase64(c.challenge);
    Outcome out = Run(AnswerLines({"334 " + encoded + "\r\n", "235 ok\r\n", "250 ok\r\n"}), c.user,
                      c.password);
    EXPECT_EQ(out.result, 0) << c.why;
    EXPECT_EQ(out.transcript,
              "AUTH CRAM-MD5\r\n" + CramResponseLine(c.user, c.password, c.challenge) + "RSET\r\n")
        << c.why;
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(CramMd5Test, EachFailureClosesTheSocketAndLogsItsLine) {
  const std::string challenge = std::string("334 ") + kRfcChallenge + "\r\n";
  const std::string response = std::string(kRfcResponse) + "\r\n";
  FaultRow cases[] = {
      {"AUTH command not sent",
       {},
       [](FaultPlatform& p) { p.FailSendOf("AUTH", 4711); },
       -4,
       "",
       {kSendNg, kAuthSendNg}},
      {"challenge code other than 334",
       AnswerLines({"504 unknown mechanism\r\n"}),
       nullptr,
       -13,
       "AUTH CRAM-MD5\r\n",
       {kChallengeCodeNg, kChallengeNg}},
      {"challenge line without its CR LF",
       {ExpectLine(), Send("334 PDE4")},
       nullptr,
       -13,
       "AUTH CRAM-MD5\r\n",
       {kChallengeNg}},
      {"challenge length not a multiple of 4",
       AnswerLines({"334 PDE4OTY\r\n"}),
       nullptr,
       -14,
       "AUTH CRAM-MD5\r\n",
       {kBase64Ng}},
      {"challenge character outside the alphabet",
       AnswerLines({"334 PDE4-TYu\r\n"}),
       nullptr,
       -14,
       "AUTH CRAM-MD5\r\n",
       {kBase64Ng}},
      {"response not sent",
       AnswerLines({challenge}),
       [response](FaultPlatform& p) { p.FailSendOf(response, 4711); },
       -4,
       "AUTH CRAM-MD5\r\n",
       {kSendNg, kResponseSendNg}},
      {"535 to the response: QUIT first",
       AnswerLines({challenge, "535 5.7.8 no\r\n", "221 bye\r\n"}),
       nullptr,
       -13,
       "AUTH CRAM-MD5\r\n" + response + "QUIT\r\n",
       {kReplyNg, kResponseNg}},
      {"RSET not sent",
       AnswerLines({challenge, "235 ok\r\n"}),
       [](FaultPlatform& p) { p.FailSendOf("RSET", 4711); },
       -4,
       "AUTH CRAM-MD5\r\n" + response,
       {kSendNg, kRsetSendNg}},
      {"RSET refused",
       AnswerLines({challenge, "235 ok\r\n", "500 no\r\n", "221 bye\r\n"}),
       nullptr,
       -13,
       "AUTH CRAM-MD5\r\n" + response + "RSET\r\nQUIT\r\n",
       {kReplyNg, kRsetNg}},
  };
  std::string log;
  for (FaultRow& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.fault) c.fault(platform_);
    Outcome out = Run(std::move(c.script), "tim", "tanstaaftanstaaf");
    EXPECT_EQ(out.result, c.code);
    EXPECT_EQ(out.transcript, c.transcript);
    // The socket is closed before the last line is written.
    const std::string lower(StoredLog({c.log.begin(), c.log.end() - 1}));
    EXPECT_EQ(logAtClose_.back(), log + lower);
    log += StoredLog(c.log);
    EXPECT_EQ(Log(), log);
  }
}

TEST_F(CramMd5Test, BareResetSendsRsetAlone) {
  ScriptedPeer peer(AnswerLines({"250 ok\r\n"}));
  Exchange smtp(sender_, GiveUpOrder::kCloseThenLog, Connect(peer.port()));
  EXPECT_EQ(SendRset(smtp), 0);
  EXPECT_EQ(platform_.OpenSockets(), 1);
  smtp.Close();
  EXPECT_EQ(peer.Transcript(), "RSET\r\n");
  EXPECT_EQ(Log(), "");
}

TEST_F(CramMd5Test, BareResetFailures) {
  {
    ScriptedPeer peer(AnswerLines({"554 no\r\n", "221 bye\r\n"}));
    Exchange smtp(sender_, GiveUpOrder::kCloseThenLog, Connect(peer.port()));
    EXPECT_EQ(SendRset(smtp), -13);
    EXPECT_EQ(peer.Transcript(), "RSET\r\nQUIT\r\n");
  }
  {
    ScriptedPeer peer(std::vector<PeerStep>{});
    Exchange smtp(sender_, GiveUpOrder::kCloseThenLog, Connect(peer.port()));
    platform_.FailSendOf("RSET", 4711);
    EXPECT_EQ(SendRset(smtp), -4);
    EXPECT_EQ(peer.Transcript(), "");
  }
  EXPECT_EQ(platform_.OpenSockets(), 0);
  EXPECT_EQ(Log(), StoredLog({kReplyNg, kRsetNg, kSendNg, kRsetSendNg}));
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
