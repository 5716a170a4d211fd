// The wait step, whole-buffer sends and the QUIT exchange.
#include <string>

#include "net/connection.h"
#include "net/exchange.h"
#include "net/poll_step.h"
#include "net_fixture.h"

namespace tarnlet {
namespace testing {
namespace {

using SendTest = NetTest;

const char kTimeOutLine[] = "SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\n";

TEST_F(SendTest, PollWaitFailsAtTheThreeThousandthStepWithTheFixedText) {
  platform_.SkipSleeps();
  std::uint32_t counter = 0;
  for (unsigned i = 1; i < kPollStepLimit; ++i) {
    ASSERT_TRUE(sender_.PollWait(&counter)) << i;
  }
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(sender_.PollWait(&counter));
  EXPECT_EQ(counter, 3000u);
  EXPECT_EQ(platform_.Sleeps(), 3000u);
  EXPECT_EQ(platform_.SleptMilliseconds(), 300000u);  // steps of 100 ms
  // Text mode stores each LF of the message, and the line end, as CR LF.
  EXPECT_EQ(Log(),
            "2026/03/05 09:07:03  SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\r\n\r\n");
}

TEST_F(SendTest, WholeBufferArrivesAfterShortSendsAndWouldBlock) {
  std::string data;
  for (int i = 0; i < 100; ++i) data += "line " + std::to_string(i) + "\r\n";
  struct Row {
    const char* name;
    int shortSends;
    int wouldBlocks;
  };
  for (const Row& row : {Row{"one short send", 1, 0}, Row{"three short sends", 3, 0},
                         Row{"would block first", 0, 1}, Row{"both", 2, 2}}) {
    SCOPED_TRACE(row.name);
    ScriptedPeer peer({});
    Connection connection(Connect(peer.port()));
    const int sendsBefore = platform_.Count(Call::kSend);
    const unsigned sleepsBefore = platform_.Sleeps();
    int nth = 1;
    for (int i = 0; i < row.wouldBlocks; ++i) platform_.WouldBlockNth(Call::kSend, nth++);
    for (int i = 0; i < row.shortSends; ++i) platform_.FailNth(Call::kSend, nth++, 0, 97);
    EXPECT_TRUE(sender_.SendAll(connection, data.data(), data.size()));
    connection.Close();
    EXPECT_EQ(peer.Transcript(), data);
    EXPECT_EQ(platform_.Count(Call::kSend) - sendsBefore, nth);
    EXPECT_EQ(platform_.Sleeps() - sleepsBefore, static_cast<unsigned>(nth - 1));
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(SendTest, SendErrorIsLoggedWithItsCodeAndNothingIsSent) {
  ScriptedPeer peer({});
  Connection connection(Connect(peer.port()));
  platform_.FailNth(Call::kSend, 1, 10053);
  EXPECT_FALSE(sender_.SendAll(connection, "MAIL FROM:<a@b>\r\n", 17));
  connection.Close();
  EXPECT_EQ(peer.Transcript(), "");
  EXPECT_EQ(Log(), StoredLogLine("SMTP SND : Snd Ng ErrCode=10053-018\r\n"));
  EXPECT_EQ(platform_.Sleeps(), 0u);
}

TEST_F(SendTest, ErrorAfterAShortSendKeepsWhatWasSent) {
  ScriptedPeer peer({});
  Connection connection(Connect(peer.port()));
  platform_.FailNth(Call::kSend, 1, 0, 4);
  platform_.FailNth(Call::kSend, 2, 10054);
  EXPECT_FALSE(sender_.SendAll(connection, "RCPT TO:<x@y>\r\n", 15));
  connection.Close();
  EXPECT_EQ(peer.Transcript(), "RCPT TO:<x@");
  EXPECT_EQ(Log(), StoredLogLine("SMTP SND : Snd Ng ErrCode=10054-018\r\n"));
}

TEST_F(SendTest, SendThatNeverGetsThroughTimesOut) {
  ScriptedPeer peer({});
  Connection connection(Connect(peer.port()));
  platform_.SkipSleeps();
  for (unsigned i = 1; i <= kPollStepLimit; ++i) platform_.WouldBlockNth(Call::kSend, i);
  EXPECT_FALSE(sender_.SendAll(connection, "DATA\r\n", 6));
  connection.Close();
  EXPECT_EQ(peer.Transcript(), "");
  EXPECT_EQ(platform_.Count(Call::kSend), 3000);
  EXPECT_EQ(Log(), StoredLogLine(kTimeOutLine));
}

TEST_F(SendTest, QuitExchange) {
  {
    SCOPED_TRACE("answered with 221");
    ScriptedPeer peer({ExpectLine(), Send("221 bye\r\n")});
    Connection connection(Connect(peer.port()));
    sender_.lastReplyCode = 354;
    EXPECT_TRUE(sender_.SendQuit(connection));
    EXPECT_EQ(sender_.lastReplyCode, 354);  // the QUIT reply keeps to itself
    connection.Close();
    EXPECT_EQ(peer.Transcript(), "QUIT\r\n");
    EXPECT_EQ(Log(), "");
  }
  {
    SCOPED_TRACE("answered with 250: no second QUIT");
    ScriptedPeer peer({ExpectLine(), Send("250 what\r\n")});
    Connection connection(Connect(peer.port()));
    EXPECT_FALSE(sender_.SendQuit(connection));
    connection.Close();
    EXPECT_EQ(peer.Transcript(), "QUIT\r\n");
    EXPECT_EQ(Log(), StoredLogLine("SMTP SND : Res Rcv Ng-022\r\n") +
                         StoredLogLine("SMTP SND : Quit Understand Ng-049\r\n"));
  }
}

TEST_F(SendTest, QuitThatCannotBeSent) {
  ScriptedPeer peer({});
  Connection connection(Connect(peer.port()));
  platform_.FailNth(Call::kSend, 1, 10058);
  EXPECT_FALSE(sender_.SendQuit(connection));
  EXPECT_EQ(platform_.Count(Call::kReceive), 0);
  connection.Close();
  EXPECT_EQ(Log(), StoredLogLine("SMTP SND : Snd Ng ErrCode=10058-018\r\n") +
                       StoredLogLine("SMTP SND : Quit Snd Ng-048\r\n"));
}

// SMTP closes the socket before its line, the POP3 login after it.
TEST_F(SendTest, GivingUpClosesAndLogsInTheExchangesOrder) {
  const std::string line = StoredLogLine("SMTP SND : Connect Ng ErrCode=10061-050\r\n");
  const std::pair<GiveUpOrder, std::string> rows[] = {{GiveUpOrder::kCloseThenLog, ""},
                                                      {GiveUpOrder::kLogThenClose, line}};
  for (const auto& [order, logAtClose] : rows) {
    ClearLog();
    ScriptedPeer peer({});
    Exchange exchange(sender_, order, Connect(peer.port()));
    EXPECT_EQ(exchange.GiveUp(LogLine::kSmtpConnectNg, 10061), -2);
    EXPECT_EQ(platform_.OpenSockets(), 0);
    EXPECT_EQ(logAtClose_.back(), logAtClose);
    EXPECT_EQ(peer.Transcript(), "");
    EXPECT_EQ(Log(), line);
  }
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
