#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "log_lines.h"
#include "net/connection.h"
#include "support/pop_scripts.h"

namespace tarnlet {
namespace testing {
namespace {

using namespace lines;

// Receives follow a script instead of a socket; once the script is spent
// every receive would block. Sleeps return at once.
class ReceiveScript : public FaultPlatform {
 public:
  ReceiveScript() { SkipSleeps(); }

  ReceiveScript& Data(const std::string& bytes) { return Add({bytes, {1, 0, false}}); }
  ReceiveScript& WouldBlock(int times = 1) {
    for (int i = 0; i < times; ++i) Add({"", {-1, 0, true}});
    return *this;
  }
  ReceiveScript& PeerClosed() { return Add({"", {0, 0, false}}); }
  ReceiveScript& Error(int error) { return Add({"", {-1, error, false}}); }
  void Clear() {
    script_.clear();
    capacities.clear();
  }

  // The connection is a made-up one: nothing to close.
  void CloseSocket(SocketHandle) override {}
  IoResult Receive(SocketHandle, char* buffer, std::size_t capacity) override {
    capacities.push_back(capacity);
    if (script_.empty()) return {-1, 0, true};
    Entry entry = script_.front();
    script_.pop_front();
    if (entry.result.count > 0) {
      EXPECT_LE(entry.bytes.size(), capacity) << "the script outgrew the space offered";
      std::memcpy(buffer, entry.bytes.data(), entry.bytes.size());
      entry.result.count = static_cast<long>(entry.bytes.size());
    }
    return entry.result;
  }

  std::vector<std::size_t> capacities;

 private:
  struct Entry {
    std::string bytes;
    IoResult result;
  };
  ReceiveScript& Add(Entry entry) {
    script_.push_back(entry);
    return *this;
  }
  std::deque<Entry> script_;
};

class PopReaderTest : public LoginTest {
 protected:
  PopReaderTest() : installed_(script_) { script_.PinTime(); }

  ReceiveScript script_;
  ScopedPlatform installed_;
  Connection connection_{1};
};

TEST_F(PopReaderTest, OkReaderJudgesTheFirstChunkAlone) {
  const int reset = script_.ConnectionResetError();
  struct Case {
    const char* why;
    std::function<void(ReceiveScript&)> setup;
    bool ok;
    unsigned sleeps;
    std::vector<std::string> log;
  } cases[] = {
      {"bare +OK with CR LF, 5 bytes", [](ReceiveScript& s) { s.Data("+OK\r\n"); }, true, 0, {}},
      {"waits while nothing has come",
       [](ReceiveScript& s) { s.WouldBlock(2).Data("+OK ready\r\n"); },
       true,
       2,
       {}},
      {"+OK alone is too short",
       [](ReceiveScript& s) { s.Data("+OK"); },
       false,
       0,
       {"POP3 BEFORE SMTP : Rcv Ng RcvDatLen=3-040\r\n"}},
      {"no CR LF in the chunk: silent",
       [](ReceiveScript& s) { s.Data("+OK ready"); },
       false,
       0,
       {}},
      {"CR LF in a later chunk",
       [](ReceiveScript& s) { s.Data("+OK ready\r").Data("\n"); },
       false,
       0,
       {}},
      {"negative reply", [](ReceiveScript& s) { s.Data("-ERR no\r\n"); }, false, 0, {kPopNotOk}},
      {"lowercase is not +OK",
       [](ReceiveScript& s) { s.Data("+ok fine\r\n"); },
       false,
       0,
       {kPopNotOk}},
      {"receive error", [](ReceiveScript& s) { s.Error(4711); }, false, 0, {PopRcvNg(4711)}},
      {"peer closed: at once, as a reset",
       [](ReceiveScript& s) { s.WouldBlock(1).PeerClosed(); },
       false,
       1,
       {PopRcvNg(reset)}},
      {"silence until the time-out", [](ReceiveScript&) {}, false, 3000, {kTimeOut}},
  };
  std::string log;
  for (Case& c : cases) {
    ReceiveScript& s = script_;
    const unsigned sleepsBefore = s.Sleeps();
    c.setup(s);
    EXPECT_EQ(sender_.ReadPopOk(connection_), c.ok) << c.why;
    EXPECT_EQ(s.Sleeps() - sleepsBefore, c.sleeps) << c.why;
    log += StoredLog(c.log);
    EXPECT_EQ(Log(), log) << c.why;
    for (std::size_t capacity : s.capacities) EXPECT_EQ(capacity, 1400u) << c.why;
    s.Clear();
  }
}

struct TimestampCase {
  const char* why;
  std::function<void(ReceiveScript&)> setup;
  std::size_t capacity;
  bool ok;
  std::string timestamp;
  std::vector<std::string> log;
};

TEST_F(PopReaderTest, TimestampReaderAccumulatesTheGreeting) {
  const int reset = script_.ConnectionResetError();
  const std::string longest(1393, 'a');
  TimestampCase cases[] = {
      {"one chunk",
       [](ReceiveScript& s) { s.Data("+OK POP3 <1.2@host>\r\n"); },
       200,
       true,
       "<1.2@host>",
       {}},
      {"split greeting with waits between",
       [](ReceiveScript& s) { s.Data("+OK <1.").WouldBlock(5).Data("2@host>\r").Data("\n"); },
       200,
       true,
       "<1.2@host>",
       {}},
      {"first '<' to the first '>' after it",
       [](ReceiveScript& s) { s.Data("+OK >x <a<b>c>\r\n"); },
       200,
       true,
       "<a<b>",
       {}},
      {"timestamp in a later line: the scan starts over",
       [](ReceiveScript& s) { s.Data("+OK hello\r\n").Data("there <9@h>\r\n"); },
       200,
       true,
       "<9@h>",
       {}},
      {"longest timestamp one buffer holds",
       [&longest](ReceiveScript& s) { s.Data("+OK<" + longest + ">\r\n"); },
       1400,
       true,
       "<" + longest + ">",
       {}},
      {"timestamp that just fits the destination",
       [](ReceiveScript& s) { s.Data("+OK <abcde>\r\n"); },
       8,
       true,
       "<abcde>",
       {}},
      {"timestamp one byte over the destination",
       [](ReceiveScript& s) { s.Data("+OK <abcde>\r\n"); },
       7,
       false,
       "",
       {kPopGreetingShort}},
      {"negative greeting: silent",
       [](ReceiveScript& s) { s.Data("-ERR <1@h>\r\n"); },
       200,
       false,
       "",
       {}},
      {"too short", [](ReceiveScript& s) { s.Data("\r\n"); }, 200, false, "", {kPopGreetingShort}},
      {"receive error",
       [](ReceiveScript& s) { s.Data("+OK <1").Error(4711); },
       200,
       false,
       "",
       {ApopRcvNg(4711)}},
      {"peer closed: at once, as a reset",
       [](ReceiveScript& s) { s.Data("+OK <1").PeerClosed(); },
       200,
       false,
       "",
       {ApopRcvNg(reset)}},
      {"full buffer without CR LF",
       [](ReceiveScript& s) { s.Data(std::string(700, 'x')).Data(std::string(700, 'y')); },
       200,
       false,
       "",
       {kPopGreetingShort}},
      {"full buffer without a timestamp",
       [](ReceiveScript& s) { s.Data("+OK " + std::string(1394, 'x') + "\r\n"); },
       1400,
       false,
       "",
       {kPopGreetingShort}},
      {"no timestamp: waits for silence to time out",
       [](ReceiveScript& s) { s.Data("+OK ready\r\n"); },
       200,
       false,
       "",
       {kTimeOut}},
  };
  std::string log;
  for (TimestampCase& c : cases) {
    ReceiveScript& s = script_;
    c.setup(s);
    std::vector<char> out(c.capacity + 16, '#');
    EXPECT_EQ(sender_.ReadApopTimestamp(connection_, out.data(), c.capacity), c.ok) << c.why;
    if (c.ok) {
      EXPECT_EQ(std::string(out.data()), c.timestamp) << c.why;
    }
    for (std::size_t i = c.capacity; i < out.size(); ++i) {
      ASSERT_EQ(out[i], '#') << c.why << ": wrote past the destination";
    }
    log += StoredLog(c.log);
    EXPECT_EQ(Log(), log) << c.why;
    // Each receive is offered exactly the room left in the 1400 bytes.
    std::size_t offered = 1400;
    for (std::size_t capacity : s.capacities) {
      EXPECT_LE(capacity, offered) << c.why;
      EXPECT_GT(capacity, 0u) << c.why;
      offered = capacity;
    }
    s.Clear();
  }
}

TEST_F(PopReaderTest, TimestampReaderCountsSilenceNotTotalTime) {
  // 2999 empty polls twice over: within the limit only because data
  // between them starts the count again.
  script_.Data("+OK <a").WouldBlock(2999).Data("b>").WouldBlock(2999).Data("\r\n");
  char out[200];
  EXPECT_TRUE(sender_.ReadApopTimestamp(connection_, out, sizeof out));
  EXPECT_STREQ(out, "<ab>");
  EXPECT_EQ(script_.Sleeps(), 5998u);
  EXPECT_EQ(Log(), "");

  script_.Data("+OK <a").WouldBlock(3000).Data("b>\r\n");
  EXPECT_FALSE(sender_.ReadApopTimestamp(connection_, out, sizeof out));
  EXPECT_EQ(Log(), StoredLog({kTimeOut}));
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
