// The exports themselves, called from many threads at once.
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "frame_test_platform.h"
#include "support/fault_platform.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {
namespace {

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 25;

// Each thread fails in its own way, always inside the library and without
// the network: the settings of one call leaking into another would change
// a result code or move a line to another file.
struct Caller {
  const char* name;
  ResultCode expected;
  const std::string* line;  // what each call logs; null: nothing
  bool viaIni;
  std::int16_t startup;
  std::int16_t kind;
  bool recipients;
};

const Caller kCallers[] = {
    {"record, Kind 3", -30, &kBadSettingsLine, false, 0, 3, true},
    {"INI, no recipients", -32, nullptr, true, 0, 3, false},
    {"INI, unknown host", -15, &kHostNotFoundLine, true, 0, 0, true},
    {"record, start-up fails", -27, &kStartupLine, false, 1, 0, true},
};

std::string IniFor(const Caller& caller, const std::string& log) {
  return "[INIT]\nStartup=" + std::to_string(caller.startup) +
         "\n[AUTH]\nKind=" + std::to_string(caller.kind) +
         "\nSMTPServerAddress=mail.invalid\nPOP3ServerAddress=pop.invalid\n[SEND]\n" +
         (caller.recipients ? "Address=to@example.com\n" : "Cc=cc@example.com\n") +
         "[ETC]\nMyHostFQDNName=client.example.com\nMyMailAddress=from@example.com\n"
         "[FILE]\nLog=" +
         log + "\n";
}

// Runs kThreads threads; thread t calls as kCallers[t % 4] and logs to
// logFor(t). Returns the results in call order per thread.
template <typename LogFor>
std::vector<std::vector<ResultCode>> RunThreads(const TempDir& dir, LogFor logFor) {
  std::vector<std::vector<ResultCode>> results(kThreads);
  std::vector<std::string> inis(kThreads);
  std::vector<MailSettings> records(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    const Caller& caller = kCallers[t % 4];
    inis[t] = dir.File("thread" + std::to_string(t) + ".ini");
    WriteFileBytes(inis[t], IniFor(caller, logFor(t)));
    records[t] = BaseSettings(25, logFor(t), "mail.invalid");
    records[t].Startup = caller.startup;
    records[t].Kind = caller.kind;
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const Caller& caller = kCallers[t % 4];
      for (int i = 0; i < kCallsPerThread; ++i) {
        results[t].push_back(caller.viaIni ? Tarnlet2("body", inis[t].c_str())
                                           : Tarnlet1("body", &records[t]));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  return results;
}

TEST(ConcurrentExportsTest, EachCallKeepsItsOwnSettingsAndLog) {
  FrameCall call;
  const TempDir& dir = call.dir;
  auto logFor = [&dir](int t) { return dir.File("thread" + std::to_string(t) + ".log"); };
  const auto results = RunThreads(dir, logFor);

  for (int t = 0; t < kThreads; ++t) {
    const Caller& caller = kCallers[t % 4];
    SCOPED_TRACE(std::string("thread ") + std::to_string(t) + ": " + caller.name);
    EXPECT_EQ(results[t], std::vector<ResultCode>(kCallsPerThread, caller.expected));
    if (caller.line == nullptr) {
      EXPECT_FALSE(FileExists(logFor(t)));
    } else {
      std::string expected;
      for (int i = 0; i < kCallsPerThread; ++i) expected += *caller.line;
      EXPECT_EQ(ReadFileBytes(logFor(t)), expected);
    }
  }
  EXPECT_EQ(call.platform.cleanups(), 0);
}

TEST(ConcurrentExportsTest, SharedLogHoldsWholeLinesOnly) {
  FrameCall call;
  const std::string& shared = call.log;
  const auto results = RunThreads(call.dir, [&shared](int) { return shared; });

  std::map<std::string, int> expectedLines;
  for (int t = 0; t < kThreads; ++t) {
    const Caller& caller = kCallers[t % 4];
    EXPECT_EQ(results[t], std::vector<ResultCode>(kCallsPerThread, caller.expected)) << caller.name;
    if (caller.line != nullptr) expectedLines[*caller.line] += kCallsPerThread;
  }
  std::map<std::string, int> lines;
  const std::string bytes = ReadFileBytes(shared);
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "the file ends inside a line";
    ++lines[bytes.substr(start, end + 2 - start)];
    start = end + 2;
  }
  EXPECT_EQ(lines, expectedLines);
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
