// Eight host threads calling both exports at once: every call must get its
// own result, deliver its own message whole, and write its log lines as
// one unbroken block of a shared log file.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "mail/mail_fixture.h"
#include "support/fault_platform.h"
#include "support/scripted_peer.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"

namespace tarnlet {
namespace mail_tests {
namespace {

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 50;

enum class Plan { kDeliver, kPopRefused, kSmtpRefused };

Plan PlanFor(int call) {
  if (call % 10 == 0) return Plan::kDeliver;
  return call % 2 == 1 ? Plan::kPopRefused : Plan::kSmtpRefused;
}

// The log blocks of the two failing plans, with every error number
// replaced by '#'.
const std::vector<std::string> kPopBlock = {
    "POP3 BEFORE SMTP : Start-024\r", "POP3 BEFORE SMTP : Connect Ng ErrCode=#-026\r",
    "Pop3\x94\x46\x8f\xd8 Miss-015",  // Pop3認証 Miss-015
};
const std::vector<std::string> kSmtpBlock = {"SMTP SND : Connect Ng ErrCode=#-050\r"};

std::string Tag(int thread, int call) {
  return std::to_string(thread) + "-" + std::to_string(call);
}

struct Outcome {
  ResultCode result = 1;
  std::string transcript;  // deliveries only
};

class ManyThreadsTest : public ::testing::Test {
 protected:
  ManyThreadsTest() { platform_.SleepAtMost(1); }

  // One call of thread t as planned; a delivery gets a peer of its own.
  Outcome Call(int t, int i, std::uint16_t closedPort) {
    const Plan plan = PlanFor(i);
    std::unique_ptr<ScriptedPeer> peer;
    MailSettings record = testing::BaseSettings(closedPort, log_);
    if (plan == Plan::kDeliver) {
      peer.reset(new ScriptedPeer(SmtpServer()));
      record.SMTPPortNo = peer->port();
    }
    if (plan == Plan::kPopRefused) {
      record.Kind = 2;
      record.POP3PortNo = closedPort;
    }
    SetField(record.Address, "rcpt-" + Tag(t, i) + "@example.com");
    SetField(record.Subject, "Subject " + Tag(t, i));
    const std::string body = "Body of call " + Tag(t, i) + "\r\n";
    Outcome outcome;
    if (t % 2 == 0) {
      outcome.result = Tarnlet1(body.c_str(), &record);
    } else {
      const std::string ini = dir_.File("call" + Tag(t, i) + ".ini");
      testing::WriteFileBytes(ini, IniOf(record));
      outcome.result = Tarnlet2(body.c_str(), ini.c_str());
    }
    if (peer) outcome.transcript = peer->Transcript();
    return outcome;
  }

  static std::string IniOf(const MailSettings& r) {
    return "[INIT]\nStartup=1\n[AUTH]\nKind=" + std::to_string(r.Kind) +
           "\nSMTPServerAddress=127.0.0.1\nPOP3ServerAddress=127.0.0.1\nSMTPPortNo=" +
           std::to_string(r.SMTPPortNo) + "\nPOP3PortNo=" + std::to_string(r.POP3PortNo) +
           "\n[SEND]\nAddress=" + r.Address + "\nSubject=" + r.Subject +
           "\n[ETC]\nX_MailerName=TestMailer\nMyHostFQDNName=client.example\n"
           "MyMailAddress=from@example.com\n[FILE]\nLog=" +
           r.Log + "\n";
  }

  testing::FaultPlatform platform_;
  testing::ScopedPlatform installed_{platform_};
  testing::TempDir dir_;
  const std::string log_ = dir_.File("shared.log");
};

// Splits the log into lines (CR LF stored by text mode; a message's own CR
// stays), masks error numbers, and checks that it is a sequence of whole
// blocks. Returns the number of blocks of each kind.
std::map<std::string, int> ParseBlocks(const std::string& log, bool* ok) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    if (end == std::string::npos) break;
    std::string line = log.substr(start, end - start);
    start = end + 2;
    if (line.size() < 21) continue;
    line.erase(0, 21);  // the timestamp
    const std::size_t number = line.find("ErrCode=");
    if (number != std::string::npos) {
      std::size_t digits = number + 8;
      while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) {
        ++digits;
      }
      line.replace(number + 8, digits - number - 8, "#");
    }
    lines.push_back(line);
  }
  std::map<std::string, int> blocks;
  *ok = true;
  for (std::size_t i = 0; i < lines.size();) {
    const std::vector<std::string>* block = nullptr;
    if (lines[i] == kPopBlock[0]) block = &kPopBlock;
    if (lines[i] == kSmtpBlock[0]) block = &kSmtpBlock;
    if (block == nullptr || i + block->size() > lines.size() ||
        !std::equal(block->begin(), block->end(), lines.begin() + i)) {
      ADD_FAILURE() << "line " << i << " starts no whole block: " << lines[i];
      *ok = false;
      return blocks;
    }
    ++blocks[(*block)[0]];
    i += block->size();
  }
  return blocks;
}

TEST_F(ManyThreadsTest, CallsKeepTheirResultsMessagesAndLogBlocks) {
  const std::uint16_t closedPort = testing::ClosedPort();
  std::vector<std::vector<Outcome>> outcomes(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t, closedPort, &outcomes] {
      for (int i = 0; i < kCallsPerThread; ++i) outcomes[t].push_back(Call(t, i, closedPort));
    });
  }
  for (std::thread& thread : threads) thread.join();

  int pops = 0;
  int smtps = 0;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(outcomes[t].size(), static_cast<std::size_t>(kCallsPerThread));
    for (int i = 0; i < kCallsPerThread; ++i) {
      SCOPED_TRACE("call " + Tag(t, i));
      const Outcome& o = outcomes[t][i];
      switch (PlanFor(i)) {
        case Plan::kDeliver: {
          EXPECT_EQ(o.result, 0);
          const std::string subject = "Subject: =?ISO-2022-JP?B?" +
                                      testing::ReferenceBase64("Subject " + Tag(t, i)) + "?=\r\n";
          EXPECT_EQ(o.transcript.find("RCPT TO: rcpt-" + Tag(t, i) + "@example.com\r\n"),
                    std::string("HELO client.example\r\nMAIL FROM: <from@example.com>\r\n").size());
          EXPECT_NE(o.transcript.find(subject), std::string::npos) << o.transcript;
          const std::string end = "Body of call " + Tag(t, i) + "\r\n\r\n\r\n.\r\nQUIT\r\n";
          ASSERT_GE(o.transcript.size(), end.size());
          EXPECT_EQ(o.transcript.substr(o.transcript.size() - end.size()), end);
          break;
        }
        case Plan::kPopRefused:
          EXPECT_EQ(o.result, -12);
          ++pops;
          break;
        case Plan::kSmtpRefused:
          EXPECT_EQ(o.result, -2);
          ++smtps;
          break;
      }
    }
  }
  bool ok = false;
  const std::map<std::string, int> blocks = ParseBlocks(testing::ReadFileBytes(log_), &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(blocks, (std::map<std::string, int>{{kPopBlock[0], pops}, {kSmtpBlock[0], smtps}}));
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
