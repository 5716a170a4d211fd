// ReadReply and ReadEhloReply against a scripted loopback server.
#include <string>
#include <vector>

#include "net/connection.h"
#include "net_fixture.h"

namespace tarnlet {
namespace testing {
namespace {

using ReplyReaderTest = NetTest;

const char kQuit[] = "QUIT\r\n";
const char kReplyNg[] = "SMTP SND : Res Rcv Ng-022\r\n";

std::string ReceiveErrorLine(int code) {
  return StoredLogLine("SMTP SND : Rcv Ng ErrCode=" + std::to_string(code) + "-020\r\n");
}

TEST_F(ReplyReaderTest, ReplyForms) {
  struct Row {
    const char* name;
    std::vector<PeerStep> script;
    int expected;
    bool result;
    int code;
    std::string log;
  };
  const std::vector<Row> rows = {
      {"complete reply", {Send("250 ok\r\n")}, 250, true, 250, ""},
      {"multi-line reply in one segment", {Send("250-a\r\n250 b\r\n")}, 250, true, 250, ""},
      {"LF alone", {Send("250 ok\n")}, 250, false, 0, ""},
      {"four bytes",
       {Send("25\r\n")},
       250,
       false,
       0,
       StoredLogLine("SMTP SND : Rcv Ng RcvDatLen=4-021\r\n")},
      {"first segment without CR LF",
       {Send("250 o"), Pause(300), Send("k\r\n")},
       250,
       false,
       0,
       ""},
      {"first segment too short",
       {Send("250"), Pause(300), Send(" ok\r\n")},
       250,
       false,
       0,
       StoredLogLine("SMTP SND : Rcv Ng RcvDatLen=3-021\r\n")},
      {"blank and sign read like strtol", {Send(" 25 ok\r\n")}, 25, true, 25, ""},
      {"digits stop at a letter", {Send("2x0 ok\r\n")}, 2, true, 2, ""},
      {"500 while 221 expected: no QUIT",
       {Send("500 what\r\n")},
       221,
       false,
       500,
       StoredLogLine(kReplyNg)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string before = Log();
    ScriptedPeer peer(row.script);
    Connection connection(Connect(peer.port()));
    std::int32_t code = -1;
    EXPECT_EQ(sender_.ReadReply(connection, row.expected, &code), row.result);
    EXPECT_EQ(code, row.code);
    connection.Close();
    EXPECT_EQ(peer.Transcript(), "");
    EXPECT_EQ(Log().substr(before.size()), row.log);
  }
}

TEST_F(ReplyReaderTest, UnexpectedGreetingSendsQuitBeforeTheLine) {
  ScriptedPeer peer({Send("554 no service\r\n"), ExpectLine(), Send("221 bye\r\n")});
  Connection connection(Connect(peer.port()));
  EXPECT_FALSE(sender_.ReadReply(connection, 220, &sender_.lastReplyCode));
  EXPECT_EQ(sender_.lastReplyCode, 554);
  connection.Close();
  EXPECT_EQ(peer.Transcript(), kQuit);
  EXPECT_EQ(Log(), StoredLogLine(kReplyNg));
}

TEST_F(ReplyReaderTest, PeerClosingEndsTheReadAtOnce) {
  const int reset = CurrentPlatform().ConnectionResetError();
  {
    SCOPED_TRACE("closed before replying");
    ScriptedPeer peer({Close()});
    Connection connection(Connect(peer.port()));
    std::int32_t code = -1;
    EXPECT_FALSE(sender_.ReadReply(connection, 220, &code));
    EXPECT_EQ(code, 0);
    connection.Close();
    EXPECT_EQ(peer.Transcript(), "");
    EXPECT_EQ(Log(), ReceiveErrorLine(reset));
  }
  // Waiting for the close to arrive takes a few steps at most, far from the
  // 3000 of a time-out.
  EXPECT_LT(platform_.Sleeps(), 500u);
  {
    SCOPED_TRACE("closed right after a 421");
    std::string before = Log();
    ScriptedPeer peer({Send("421 closing\r\n"), Close()});
    Connection connection(Connect(peer.port()));
    std::int32_t code = -1;
    EXPECT_FALSE(sender_.ReadReply(connection, 220, &code));
    EXPECT_EQ(code, 421);
    connection.Close();
    EXPECT_EQ(peer.Transcript(), kQuit);
    EXPECT_EQ(Log().substr(before.size()),
              ReceiveErrorLine(reset) + StoredLogLine("SMTP SND : Quit Understand Ng-049\r\n") +
                  StoredLogLine(kReplyNg));
  }
  EXPECT_LT(platform_.Sleeps(), 1000u);
}

TEST_F(ReplyReaderTest, ReceiveFailures) {
  const int reset = CurrentPlatform().ConnectionResetError();
  struct Row {
    const char* name;
    std::vector<PeerStep> script;
    int nthReceiveError;  // 0: none injected
    bool injectPeerClose;
    std::string log;
  };
  const std::vector<Row> rows = {
      {"receive error", {Stall()}, 1, false, ReceiveErrorLine(10053)},
      {"error after would-block", {Stall()}, 3, false, ReceiveErrorLine(10053)},
      {"end of stream reported", {Stall()}, 0, true, ReceiveErrorLine(reset)},
      {"connection reset by the peer", {Reset()}, 0, false, ReceiveErrorLine(reset)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string before = Log();
    ScriptedPeer peer(row.script);
    Connection connection(Connect(peer.port()));
    if (row.nthReceiveError > 0) {
      for (int i = 1; i < row.nthReceiveError; ++i) platform_.WouldBlockNth(Call::kReceive, i);
      platform_.FailNth(Call::kReceive, row.nthReceiveError, 10053);
    }
    if (row.injectPeerClose) platform_.PeerClosesAtNthReceive(1);
    std::int32_t code = -1;
    EXPECT_FALSE(sender_.ReadReply(connection, 250, &code));
    EXPECT_EQ(code, 0);
    connection.Close();
    EXPECT_EQ(Log().substr(before.size()), row.log);
  }
}

TEST_F(ReplyReaderTest, SilentPeerTimesOutAfterThreeThousandSteps) {
  ScriptedPeer peer({Stall()});
  Connection connection(Connect(peer.port()));
  std::int32_t code = -1;
  EXPECT_FALSE(sender_.ReadReply(connection, 220, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(platform_.Sleeps(), 3000u);
  connection.Close();
  EXPECT_EQ(peer.Transcript(), "");
  EXPECT_EQ(Log(), StoredLogLine("SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\n"));
}

TEST_F(ReplyReaderTest, EhloAuthMechanisms) {
  struct Row {
    const char* name;
    std::vector<PeerStep> script;
    std::uint8_t flags;
  };
  const std::vector<Row> rows = {
      {"CRAM-MD5 and PLAIN",
       {Send("250-mx.example\r\n250-AUTH CRAM-MD5 PLAIN\r\n250 8BITMIME\r\n")},
       12},
      {"LOGIN only", {Send("250-mx.example\r\n250 AUTH LOGIN\r\n")}, 2},
      {"all four", {Send("250-mx\r\n250 AUTH DIGEST-MD5 CRAM-MD5 LOGIN PLAIN\r\n")}, 30},
      {"old form with equals sign", {Send("250-mx\r\n250 AUTH=LOGIN\r\n")}, 2},
      {"GSSAPI only", {Send("250-mx.example\r\n250 AUTH GSSAPI\r\n")}, 0},
      {"no AUTH", {Send("250-mx.example\r\n250 SIZE 1000\r\n")}, 1},
      {"keywords and names in any case", {Send("250-mx\r\n250 auth Login\r\n")}, 2},
      {"lower-case starttls", {Send("250-mx\r\n250-starttls\r\n250 SIZE 9\r\n")}, 33},
      {"names only on the AUTH line", {Send("250-login.example PLAIN\r\n250 AUTH GSSAPI\r\n")}, 0},
      {"a name inside a longer word", {Send("250-mx\r\n250 AUTH XLOGIN PLAINS\r\n")}, 0},
      {"OAuth mechanisms", {Send("250-mx\r\n250 AUTH XOAUTH2 oauthbearer\r\n")}, 192},
      {"line end not checked", {Send("250 AUTH PLAIN")}, 4},
      {"AUTH line in a later segment",
       {Send("250-mx.example\r\n"), Pause(300), Send("250 AUTH CRAM-MD5\r\n")},
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedPeer peer(row.script);
    Connection connection(Connect(peer.port()));
    std::int32_t code = -1;
    EXPECT_EQ(sender_.ReadEhloReply(connection, 250, &code), row.flags);
    EXPECT_EQ(code, 250);
    connection.Close();
    EXPECT_EQ(peer.Transcript(), "");
  }
  EXPECT_EQ(Log(), "");
}

// The receive buffer is not NUL-terminated: a short reply must not be
// searched into what an earlier, longer one left behind in the same place.
TEST_F(ReplyReaderTest, EhloSearchStaysWithinTheReceivedBytes) {
  ScriptedPeer peer({Send("250-mx.example\r\n250-AUTH LOGIN PLAIN CRAM-MD5\r\n250 OK\r\n"),
                     Pause(300), Send("250 OK\r\n")});
  Connection connection(Connect(peer.port()));
  std::int32_t code = 0;
  EXPECT_EQ(sender_.ReadEhloReply(connection, 250, &code), 14);
  EXPECT_EQ(sender_.ReadEhloReply(connection, 250, &code), 1);
  connection.Close();
}

TEST_F(ReplyReaderTest, EhloFailures) {
  {
    SCOPED_TRACE("unexpected code: QUIT, then the OP25B line");
    ScriptedPeer peer({Send("554 go away\r\n"), ExpectLine(), Send("221 bye\r\n")});
    Connection connection(Connect(peer.port()));
    EXPECT_EQ(sender_.ReadEhloReply(connection, 250, &sender_.lastReplyCode), 0);
    EXPECT_EQ(sender_.lastReplyCode, 554);
    connection.Close();
    EXPECT_EQ(peer.Transcript(), kQuit);
    EXPECT_EQ(Log(), StoredLogLine("SMTP SND : Res Rcv OP25B Ng-022\r\n"));
  }
  {
    SCOPED_TRACE("too short");
    std::string before = Log();
    ScriptedPeer peer({Send("250\n")});
    Connection connection(Connect(peer.port()));
    std::int32_t code = -1;
    EXPECT_EQ(sender_.ReadEhloReply(connection, 250, &code), 0);
    EXPECT_EQ(code, 0);
    connection.Close();
    EXPECT_EQ(Log().substr(before.size()), StoredLogLine("SMTP SND : Rcv Ng RcvDatLen=4-021\r\n"));
  }
  {
    SCOPED_TRACE("peer closed");
    std::string before = Log();
    ScriptedPeer peer({Close()});
    Connection connection(Connect(peer.port()));
    std::int32_t code = -1;
    EXPECT_EQ(sender_.ReadEhloReply(connection, 250, &code), 0);
    connection.Close();
    EXPECT_EQ(Log().substr(before.size()),
              ReceiveErrorLine(CurrentPlatform().ConnectionResetError()));
  }
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
