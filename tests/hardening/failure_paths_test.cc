// Every platform call of the main paths, made to fail one at a time: the
// call must return the code of the step it failed in, end the log with
// that step's line, and leave no socket, file or heap block behind.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>

#include "../../fuzz/fuzz_inputs.h"
#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "support/fault_platform.h"

namespace tarnlet {
namespace hardening {
namespace {

using testing::Call;
using testing::FaultPlatform;

struct Path {
  const char* name;
  int kind;
  std::uint16_t port;
  bool apop;
  bool startTls = false;  // the server offers STARTTLS and PLAIN
};

// Inside TLS the fake server's sessions pass the bytes through their wire,
// so the same sends and receives fail, carrying records.
const Path kPaths[] = {
    {"plain", 0, 25, false},
    {"CRAM-MD5 on 25", 1, 25, false},
    {"CRAM-MD5 on 587", 1, 587, false},
    {"POP before SMTP, USER/PASS", 2, 25, false},
    {"POP before SMTP, APOP", 2, 25, true},
    {"CRAM-MD5 inside TLS on 465", 1, 465, false},
    {"PLAIN after STARTTLS on 587", 1, 587, false, true},
};

const std::string kStamp = testing::kPinnedStamp;

struct Outcome {
  ResultCode code;
  std::string lastLine;  // the final log message, as written
};

// "Pop3認証 Miss-015"
const char kPopFailed[] = "Pop3\x94\x46\x8f\xd8 Miss-015";
// "SMTP Auth3認証 Miss-017"
const char kCramFailed[] = "SMTP Auth3\x94\x46\x8f\xd8 Miss-017";
// "SMTP Auth3認証OP25B Miss-016"
const char kEhloFailed[] = "SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-016";

// What a failed send or receive in step leads to.
Outcome NetworkOutcome(const Path& path, Call kind, const std::string& step) {
  const bool send = kind == Call::kSend;
  if (step == "POP") return {-12, kPopFailed};
  if (step == "greet") return {-3, "SMTP SND : Server Ready Ng-052\r\n"};
  if (step == "STARTTLS") {
    return send ? Outcome{-4, "SMTP SND : StartTls Snd Ng-109\r\n"}
                : Outcome{-13, "SMTP SND : StartTls Understand Ng-110\r\n"};
  }
  if (step == "HELO" || step == "EHLO") {
    if (send) return {-4, "SMTP SND : Domain Name Snd Ng-053\r\n"};
    if (path.kind == 1 && (path.port == 587 || path.port == 465)) return {-13, kEhloFailed};
    return {-5, "SMTP SND : Domain Name Understand Ng-054\r\n"};
  }
  if (step == "AUTH" || step == "RESPONSE" || step == "RSET") return {send ? -4 : -13, kCramFailed};
  if (step == "MAIL") {
    return send ? Outcome{-4, "SMTP SND : Snd Moto Mail Adr Snd Ng-056\r\n"}
                : Outcome{-6, "SMTP SND : Snd Moto Mail Adr Understand Ng-057\r\n"};
  }
  if (step == "RCPT") return {send ? -4 : -7, "0-058\r\n"};
  if (step == "DATA") {
    return send ? Outcome{-4, "SMTP SND : Mail Snd Start Snd Ng-059\r\n"}
                : Outcome{-8, "SMTP SND : Mail Snd Start Understand Ng-060\r\n"};
  }
  if (step == "END") {
    return send ? Outcome{-4, "SMTP SND : Mail Snd End Snd Ng-095\n"}
                : Outcome{-9, "SMTP SND : Mail Snd End Understand Ng-096\n"};
  }
  // The server has the message by then: the call still reports success.
  if (step == "QUIT") return {0, "1-097\n"};
  return {-4, ""};  // message text: one of the header or data lines
}

Outcome ConnectionOutcome(Call kind, const std::string& step) {
  if (step == "POP") return {-12, kPopFailed};
  if (kind == Call::kCreateSocket) return {-1, "SMTP SND : Sock Create Ng ErrCode=10055-016\r\n"};
  if (kind == Call::kConnect) return {-2, "SMTP SND : Connect Ng ErrCode=10061-050\r\n"};
  return {-2, "SMTP SND : None Bloking Mode Set Ng ErrCode=10038-051\r\n"};
}

// Installs the platform for one call and clears the global record after.
class ScopedInstall {
 public:
  explicit ScopedInstall(Platform& platform) { InstallPlatform(&platform); }
  ~ScopedInstall() {
    std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
    InstallPlatform(nullptr);
  }
};

// The in-memory server with the counting platform over it, for one run of
// a path; a call the server does not model fails the test.
struct FakeCall {
  explicit FakeCall(const Path& path)
      : server([](const char* call) { ADD_FAILURE() << "unmodelled platform call " << call; }) {
    server.Answer(110, fuzzing::kChallenge);
    if (path.startTls) server.OfferStartTls();
    platform.PopConnectionFirst(path.kind == 2);
  }
  fuzzing::FakeServerPlatform server;
  FaultPlatform platform{server};
};

// The error number each failing call reports.
int ErrorOf(Call kind) {
  switch (kind) {
    case Call::kCreateSocket:
      return 10055;
    case Call::kConnect:
      return 10061;
    case Call::kSetNonBlocking:
      return 10038;
    case Call::kOpenFile:
      return 32;
    default:
      return 10054;
  }
}

// Runs the path once over platform, which may hold a planned failure.
ResultCode RunPath(const Path& path, FaultPlatform& platform) {
  const MailSettings settings = fuzzing::FuzzSettings(path.kind, path.port, path.apop);
  ScopedInstall installed(platform);
  MailSender sender;
  return sender.SendFromRecord("First line\r\n.\r\nlast line", &settings);
}

class FailurePathsTest : public ::testing::TestWithParam<Path> {};

TEST_P(FailurePathsTest, EachFailingCallEndsWithItsStep) {
  const Path& path = GetParam();
  FakeCall clean(path);
  ASSERT_EQ(RunPath(path, clean.platform), 0) << clean.server.log;
  EXPECT_EQ(clean.platform.OpenSockets(), 0);
  EXPECT_EQ(clean.platform.LiveBlocks(), 0);

  const Call kinds[] = {Call::kCreateSocket, Call::kConnect, Call::kSetNonBlocking,
                        Call::kSend,         Call::kReceive, Call::kOpenFile,
                        Call::kSeek,         Call::kRead,    Call::kAllocate};
  int runs = 0;
  for (Call kind : kinds) {
    const int count = clean.platform.Count(kind);
    EXPECT_GT(count, 0) << "call kind " << static_cast<int>(kind);
    for (int nth = 1; nth <= count; ++nth) {
      FakeCall run(path);
      FaultPlatform& platform = run.platform;
      platform.FailNth(kind, nth, ErrorOf(kind));
      const ResultCode r = RunPath(path, platform);
      const std::string step = platform.StepOf(kind, nth);
      const std::string& lastLine = run.server.lastLine;
      SCOPED_TRACE("call kind " + std::to_string(static_cast<int>(kind)) + " number " +
                   std::to_string(nth) + " in step " + step + "\nlog:\n" + run.server.log);
      EXPECT_EQ(platform.OpenSockets(), 0);
      EXPECT_EQ(platform.OpenTlsSessions(), 0);
      EXPECT_EQ(platform.OpenFiles(), 0);
      EXPECT_EQ(platform.LiveBlocks(), 0);
      ++runs;
      switch (kind) {
        case Call::kCreateSocket:
        case Call::kConnect:
        case Call::kSetNonBlocking: {
          const Outcome want = ConnectionOutcome(kind, step);
          EXPECT_EQ(r, want.code);
          EXPECT_EQ(lastLine, kStamp + want.lastLine);
          break;
        }
        case Call::kSend:
        case Call::kReceive: {
          const Outcome want = NetworkOutcome(path, kind, step);
          if (want.lastLine.empty()) {
            // A message line: only the Cc header has a code of its own.
            const std::string& line = lastLine;
            EXPECT_EQ(line.compare(0, 32, kStamp + "SMTP SND : "), 0);
            const bool cc = line == kStamp + "SMTP SND : Header Snd Ng-064\r\n";
            EXPECT_EQ(r, cc ? -29 : -4);
          } else {
            EXPECT_EQ(r, want.code);
            EXPECT_EQ(lastLine, kStamp + want.lastLine);
          }
          break;
        }
        case Call::kOpenFile:
          EXPECT_EQ(r, -11);
          EXPECT_EQ(lastLine, kStamp + "SMTP SND : Image File Open Ng-091\n");
          break;
        case Call::kSeek:
          EXPECT_EQ(r, -11);
          EXPECT_EQ(lastLine, kStamp + "SMTP SND : Image File Pointer Move Ng-092\n");
          break;
        case Call::kRead:
          EXPECT_EQ(r, -11);
          EXPECT_EQ(lastLine, kStamp + "SMTP SND : Image File Read Ng-093\n");
          break;
        default: {
          // The Subject's two buffers, the encoder's two, then the body copy.
          const Outcome kAllocations[] = {
              {-26, "SMTP SND : Title Buffer Get Ng-065\r\n"},
              {-26, "SMTP SND : Title Send Buffer Get Ng-066\r\n"},
              {-26, "SMTP SND : Title Encode Ng-067\r\n"},
              {-26, "SMTP SND : Title Encode Ng-067\r\n"},
              {-25, "SMTP SND : Text Buffer Get Ng-084\r\n"},
          };
          ASSERT_LE(nth, 5);
          EXPECT_EQ(r, kAllocations[nth - 1].code);
          EXPECT_EQ(lastLine, kStamp + kAllocations[nth - 1].lastLine);
          break;
        }
      }
    }
  }
  EXPECT_GT(runs, 20);
}

// A call the fake server does not model is a failure, never a real call.
TEST(FakeServerTest, ACallItDoesNotModelFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        FakeCall run(kPaths[0]);
        char value[8] = "x";
        run.platform.ReadProfileString("a.ini", "INIT", "Kind", value, sizeof value);
      },
      "unmodelled platform call ReadProfileString");
}

INSTANTIATE_TEST_SUITE_P(Paths, FailurePathsTest, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<Path>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p != '\0'; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

}  // namespace
}  // namespace hardening
}  // namespace tarnlet
