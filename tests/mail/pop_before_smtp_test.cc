#include <functional>
#include <string>
#include <vector>

#include "frame/globals.h"
#include "log_lines.h"
#include "support/pop_scripts.h"

namespace tarnlet {
namespace testing {
namespace {

using namespace lines;
const std::string kSendNg = SendNg(4711);

class PopBeforeSmtpTest : public LoginTest {
 protected:
  struct Outcome {
    int result;
    std::string transcript;
  };

  Outcome Run(std::vector<PeerStep> script, std::int16_t apop, const std::string& user,
              const std::string& password) {
    g_mailSettings.APOP = apop;
    ScriptedPeer peer(std::move(script));
    Outcome outcome{sender_.PopBeforeSmtp(user.c_str(), password.c_str(), "127.0.0.1", peer.port()),
                    ""};
    EXPECT_EQ(platform_.OpenSockets(), 0) << "the POP3 connection is closed on every path";
    outcome.transcript = peer.Transcript();
    return outcome;
  }

  std::string ResetLine(const char* format) {
    std::string line = format;
    line.replace(line.find("%d"), 2, std::to_string(platform_.ConnectionResetError()));
    return line;
  }
};

TEST_F(PopBeforeSmtpTest, LogsInWithUserAndPass) {
  Outcome out =
      Run(GreetThenAnswer("+OK POP3 ready\r\n", {"+OK\r\n", "+OK logged in\r\n", "+OK bye\r\n"}), 0,
          "alice", "secret");
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.transcript, "USER alice\r\nPASS secret\r\nQUIT\r\n");
  EXPECT_EQ(Log(), StoredLog({kPopStart, kPopComplete}));
  // On success the socket is closed first, then completion is logged.
  EXPECT_EQ(logAtClose_, std::vector<std::string>{StoredLog({kPopStart})});
}

TEST_F(PopBeforeSmtpTest, LogsInWithApop) {
  const std::string longTimestamp = "<" + std::string(1393, 't') + ">";
  const std::string longUser(255, 'u');
  const std::string longPassword(255, 'p');
  struct Case {
    const char* why;
    std::int16_t apop;
    std::vector<PeerStep> script;
    std::string user;
    std::string password;
    std::string transcript;
  } cases[] = {
      {"the example of RFC 1939", 1, GreetThenAnswer(kRfcGreeting, {"+OK\r\n", "+OK\r\n"}), "mrose",
       "tanstaaf", "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\nQUIT\r\n"},
      {"a negative setting also means APOP", -1,
       GreetThenAnswer(kRfcGreeting, {"+OK\r\n", "+OK\r\n"}), "mrose", "tanstaaf",
       "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\nQUIT\r\n"},
      {"greeting in two chunks",
       1,
       {Send("+OK POP3 server ready <1896.697"), Pause(100), Send("170952@dbc.mtview.ca.us>\r\n"),
        ExpectLine(), Send("+OK\r\n"), ExpectLine(), Send("+OK\r\n")},
       "mrose",
       "tanstaaf",
       "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\nQUIT\r\n"},
      {"longest timestamp, user name and password", 1,
       GreetThenAnswer("+OK" + longTimestamp + "\r\n", {"+OK\r\n", "+OK\r\n"}), longUser,
       longPassword, ApopLine(longUser, longTimestamp, longPassword) + "QUIT\r\n"},
      {"empty password", 1, GreetThenAnswer("+OK <7@h>\r\n", {"+OK\r\n", "+OK\r\n"}), "u", "",
       ApopLine("u", "<7@h>", "") + "QUIT\r\n"},
  };
  std::string log;
  for (Case& c : cases) {
    Outcome out = Run(std::move(c.script), c.apop, c.user, c.password);
    EXPECT_EQ(out.result, 1) << c.why;
    EXPECT_EQ(out.transcript, c.transcript) << c.why;
    log += StoredLog({kPopStart, kPopComplete});
    EXPECT_EQ(Log(), log) << c.why;
  }
}

TEST_F(PopBeforeSmtpTest, LongestUserNameAndPasswordGoOutWhole) {
  const std::string user(255, 'u');
  const std::string password(255, 'p');
  Outcome out =
      Run(GreetThenAnswer("+OK\r\n", {"+OK\r\n", "+OK\r\n", "+OK\r\n"}), 0, user, password);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.transcript, "USER " + user + "\r\nPASS " + password + "\r\nQUIT\r\n");
}

struct FailureCase {
  const char* why;
  std::int16_t apop;
  std::vector<PeerStep> script;
  std::function<void(FaultPlatform&)> fault;
  std::string transcript;
  std::vector<std::string> log;
};

// Fails the send of the command that begins with text.
void FailSend(FaultPlatform& platform, const char* text) { platform.FailSendOf(text, 4711); }

TEST_F(PopBeforeSmtpTest, EveryFailureLogsThenCloses) {
  const std::string greeting = "+OK POP3 ready\r\n";
  const std::string apop = "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n";
  FailureCase cases[] = {
      {"non-blocking mode refused",
       0,
       {},
       [](FaultPlatform& p) { p.FailNth(Call::kSetNonBlocking, 1, 4242); },
       "",
       {"POP3 BEFORE SMTP : None Blocking Mode Set Ng ErrCode=4242-027\r\n"}},
      {"negative greeting",
       0,
       GreetThenAnswer("-ERR busy\r\n", {}),
       nullptr,
       "",
       {kPopNotOk, kPopGreetingNg}},
      {"greeting split: the first chunk is judged alone",
       0,
       {Send("+OK POP3"), Pause(300), Send(" ready\r\n")},
       nullptr,
       "",
       {kPopGreetingNg}},
      {"greeting of three bytes",
       0,
       {Send("+OK")},
       nullptr,
       "",
       {"POP3 BEFORE SMTP : Rcv Ng RcvDatLen=3-040\r\n", kPopGreetingNg}},
      {"USER not sent",
       0,
       GreetThenAnswer(greeting, {}),
       [](FaultPlatform& p) { FailSend(p, "USER"); },
       "",
       {kSendNg, kUserSendNg}},
      {"USER refused",
       0,
       GreetThenAnswer(greeting, {"-ERR who\r\n"}),
       nullptr,
       "USER alice\r\n",
       {kPopNotOk, kUserNg}},
      {"peer closes after USER",
       0,
       {Send(greeting), ExpectLine(), Close()},
       nullptr,
       "USER alice\r\n",
       {ResetLine("POP3 BEFORE SMTP : Rcv Ng ErrCode=%d-039\r\n"), kUserNg}},
      {"peer resets after USER",
       0,
       {Send(greeting), ExpectLine(), Reset()},
       nullptr,
       "USER alice\r\n",
       {ResetLine("POP3 BEFORE SMTP : Rcv Ng ErrCode=%d-039\r\n"), kUserNg}},
      {"PASS not sent",
       0,
       GreetThenAnswer(greeting, {"+OK\r\n"}),
       [](FaultPlatform& p) { FailSend(p, "PASS"); },
       "USER alice\r\n",
       {kSendNg, kPassSendNg}},
      {"PASS refused: no QUIT",
       0,
       GreetThenAnswer(greeting, {"+OK\r\n", "-ERR denied\r\n"}),
       nullptr,
       "USER alice\r\nPASS secret\r\n",
       {kPopNotOk, kPassNg}},
      {"QUIT not sent",
       0,
       GreetThenAnswer(greeting, {"+OK\r\n", "+OK\r\n"}),
       [](FaultPlatform& p) { FailSend(p, "QUIT"); },
       "USER alice\r\nPASS secret\r\n",
       {kSendNg, kQuitSendNg}},
      {"QUIT not answered +OK",
       0,
       GreetThenAnswer(greeting, {"+OK\r\n", "+OK\r\n", "-ERR later\r\n"}),
       nullptr,
       "USER alice\r\nPASS secret\r\nQUIT\r\n",
       {kPopNotOk, kQuitNg}},
      {"APOP: negative greeting fails at once",
       1,
       GreetThenAnswer("-ERR go away\r\n", {}),
       nullptr,
       "",
       {kTimestampNg}},
      {"APOP: greeting too short",
       1,
       GreetThenAnswer("\r\n", {}),
       nullptr,
       "",
       {kPopGreetingShort, kTimestampNg}},
      {"APOP: 1400 bytes without a line end",
       1,
       {Send(std::string(1400, 'x'))},
       nullptr,
       "",
       {kPopGreetingShort, kTimestampNg}},
      {"APOP: peer closes before the greeting",
       1,
       {Close()},
       nullptr,
       "",
       {ResetLine("POP3 RCV : Rcv Err ErrCode=%d-043\r\n"), kTimestampNg}},
      {"APOP not sent",
       1,
       GreetThenAnswer(kRfcGreeting, {}),
       [](FaultPlatform& p) { FailSend(p, "APOP"); },
       "",
       {kSendNg, kApopSendNg}},
      {"APOP refused",
       1,
       GreetThenAnswer(kRfcGreeting, {"-ERR denied\r\n"}),
       nullptr,
       apop,
       {kPopNotOk, kApopNg}},
      {"APOP: QUIT not answered +OK",
       1,
       GreetThenAnswer(kRfcGreeting, {"+OK\r\n", "-ERR later\r\n"}),
       nullptr,
       apop + "QUIT\r\n",
       {kPopNotOk, kQuitNg}},
  };
  std::string log;
  for (FailureCase& c : cases) {
    if (c.fault) c.fault(platform_);
    const bool apopPath = c.apop != 0;
    Outcome out = Run(std::move(c.script), c.apop, apopPath ? "mrose" : "alice",
                      apopPath ? "tanstaaf" : "secret");
    EXPECT_EQ(out.result, 0) << c.why;
    EXPECT_EQ(out.transcript, c.transcript) << c.why;
    log += StoredLog({kPopStart});
    log += StoredLog(c.log);
    EXPECT_EQ(Log(), log) << c.why;
    // Its own line is written before the socket is closed.
    EXPECT_EQ(logAtClose_.back(), log) << c.why;
  }
}

TEST_F(PopBeforeSmtpTest, SilentServerTimesOut) {
  // Waiting for the greeting (without sleeping), and waiting for a
  // timestamp that never comes (1 ms steps).
  platform_.SkipSleeps(true);
  Outcome out = Run({Stall()}, 0, "alice", "secret");
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.transcript, "");
  platform_.SkipSleeps(false);
  out = Run(GreetThenAnswer("+OK no timestamp here\r\n", {}), 1, "alice", "secret");
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.transcript, "");
  EXPECT_EQ(Log(),
            StoredLog({kPopStart, kTimeOut, kPopGreetingNg, kPopStart, kTimeOut, kTimestampNg}));
}

TEST_F(PopBeforeSmtpTest, NoConnectionNoCommands) {
  platform_.FailNth(Call::kCreateSocket, 1, 24);
  EXPECT_EQ(sender_.PopBeforeSmtp("alice", "secret", "127.0.0.1", ClosedPort()), 0);
  platform_.FailNth(Call::kConnect, 1, 4242);
  EXPECT_EQ(sender_.PopBeforeSmtp("alice", "secret", "127.0.0.1", ClosedPort()), 0);
  EXPECT_EQ(platform_.OpenSockets(), 0);
  EXPECT_EQ(Log(), StoredLog({kPopStart, "POP3 BEFORE SMTP : Sock Create Ng ErrCode=24-025\r\n",
                              kPopStart, "POP3 BEFORE SMTP : Connect Ng ErrCode=4242-026\r\n"}));
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
