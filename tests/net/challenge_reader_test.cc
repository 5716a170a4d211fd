// ReadChallenge: the text of a 334 reply, bounded by the caller's buffer.
#include <string>
#include <vector>

#include "frame/globals.h"
#include "net/connection.h"
#include "net_fixture.h"

namespace tarnlet {
namespace testing {
namespace {

const char kCodeNg[] = "SMTP SND : Res Rcv Ng-047\r\n";
constexpr char kUntouched = '#';

class ChallengeReaderTest : public NetTest {
 protected:
  // Serves the script and reads one challenge into a buffer of capacity
  // bytes placed inside a larger one, so writes past it can be seen.
  bool Read(std::vector<PeerStep> script, std::size_t capacity) {
    ScriptedPeer peer(std::move(script));
    Connection connection(Connect(peer.port()));
    buffer_.assign(capacity + 64, kUntouched);
    bool result = sender_.ReadChallenge(connection, &buffer_[0], capacity);
    connection.Close();
    EXPECT_EQ(peer.Transcript(), "");
    for (std::size_t i = capacity; i < buffer_.size(); ++i) {
      EXPECT_EQ(buffer_[i], kUntouched) << "written past the capacity at " << i;
    }
    return result;
  }
  std::string Text() const { return std::string(buffer_.c_str()); }

  std::string buffer_;
};

TEST_F(ChallengeReaderTest, Replies) {
  struct Row {
    const char* name;
    std::string reply;
    bool result;
    std::string text;  // when result is true
    std::string log;
  };
  const std::vector<Row> rows = {
      {"challenge text", "334 PDEyMzQ1QGV4YW1wbGUuY29tPg==\r\n", true,
       "PDEyMzQ1QGV4YW1wbGUuY29tPg==", ""},
      {"later spaces are text", "334 a b  c\r\n", true, "a b  c", ""},
      {"empty text", "334 \r\n", true, "", ""},
      {"text ends at the first CR LF", "334 abc\r\n334 def\r\n", true, "abc", ""},
      {"leading zeros", std::string(200, '0') + "334 x\r\n", true, "x", ""},
      {"code 335", "335 abc\r\n", false, "", StoredLogLine(kCodeNg)},
      {"code 235 of a finished login", "235 2.7.0 ok\r\n", false, "", StoredLogLine(kCodeNg)},
      {"very long first word", std::string(300, '9') + " x\r\n", false, "", StoredLogLine(kCodeNg)},
      {"no CR LF", "334 abc", false, "", ""},
      {"LF alone", "334 abc\n", false, "", ""},
      {"no space", "334\r\n", false, "", ""},
      {"four bytes are scanned", "12\r\n", false, "", ""},
      {"space as the last byte is not scanned", "334 ", false, "", ""},
      {"three bytes", "1\r\n", false, "", StoredLogLine("SMTP SND : Rcv Ng RcvDatLen=3-046\r\n")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string before = Log();
    EXPECT_EQ(Read({Send(row.reply)}, kReceiveBufferSize), row.result);
    if (row.result) {
      EXPECT_EQ(Text(), row.text);
    }
    EXPECT_EQ(Log().substr(before.size()), row.log);
  }
}

TEST_F(ChallengeReaderTest, TextOfAFullReceiveFitsTheCallersBuffer) {
  const std::string text(kReceiveBufferSize - 6, 'Q');  // "334 " + text + CR LF: 1400
  EXPECT_TRUE(Read({Send("334 " + text + "\r\n")}, kReceiveBufferSize));
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(Log(), "");
}

TEST_F(ChallengeReaderTest, TextLongerThanTheBufferIsRefusedNotCut) {
  EXPECT_FALSE(Read({Send("334 0123456789\r\n")}, 10));
  EXPECT_TRUE(Read({Send("334 012345678\r\n")}, 10));
  EXPECT_EQ(Text(), "012345678");
  EXPECT_EQ(Log(), "");
}

TEST_F(ChallengeReaderTest, ReceiveFailures) {
  const int reset = CurrentPlatform().ConnectionResetError();
  EXPECT_FALSE(Read({Close()}, kReceiveBufferSize));
  EXPECT_EQ(Log(),
            StoredLogLine("SMTP SND : Rcv Ng ErrCode=" + std::to_string(reset) + "-045\r\n"));

  std::string before = Log();
  platform_.FailNth(Call::kReceive, 1, 10060);
  EXPECT_FALSE(Read({Stall()}, kReceiveBufferSize));
  EXPECT_EQ(Log().substr(before.size()), StoredLogLine("SMTP SND : Rcv Ng ErrCode=10060-045\r\n"));
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
