// What the frame tests share: the counting platform with the clock pinned,
// the lifecycle calls named in order and names under ".invalid" kept off
// the network; the exact log lines.
#ifndef TARNLET_TESTS_FRAME_FRAME_TEST_PLATFORM_H_
#define TARNLET_TESTS_FRAME_FRAME_TEST_PLATFORM_H_

#include <string>
#include <vector>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "support/fault_platform.h"
#include "support/pinned_clock.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"
#include "tarnlet.h"

namespace tarnlet {
namespace testing {

constexpr const char* kStamp = kPinnedStamp;

// 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001
const std::string kBadSettingsLine =
    std::string(kStamp) +
    "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001\r\n";
const std::string kStartupLine = std::string(kStamp) + "WSAStartup Miss-002\r\n";
// ﾎｽﾄ名が見つからない-004
const std::string kHostNotFoundLine =
    std::string(kStamp) +
    "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-004\r\n";

// The counting platform as the frame tests read it.
class FramePlatform : public FaultPlatform {
 public:
  FramePlatform() {
    PinTime();
    MissingHostsUnder(".invalid", 11001);
  }

  // Every later start-up of the socket library fails with code (0: none).
  void FailStartup(int code) {
    if (code != 0) FailEvery(Call::kStartup, code);
  }

  int startups() { return Count(Call::kStartup); }
  int cleanups() { return Count(Call::kCleanup); }
  int logAppends() { return Count(Call::kAppendLog); }
  // The lifecycle calls in the order they happened.
  std::vector<std::string> trace() {
    static const struct {
      Call call;
      const char* name;
    } kNames[] = {{Call::kOpenLock, "open"},       {Call::kWaitLock, "wait"},
                  {Call::kReleaseLock, "release"}, {Call::kCloseLock, "close"},
                  {Call::kStartup, "startup"},     {Call::kCleanup, "cleanup"},
                  {Call::kResolve, "resolve"},     {Call::kAppendLog, "log"}};
    std::vector<std::string> names;
    for (const Event& event : Trace()) {
      for (const auto& known : kNames) {
        if (event.call == known.call) names.push_back(known.name);
      }
    }
    return names;
  }
};

// What one call of an export needs around it: the frame platform installed,
// the socket library's start-up failing with startupError (0: it starts), a
// temporary folder, and a valid record logging to mail.log there, its
// server a name under ".invalid".
struct FrameCall {
  explicit FrameCall(int startupError = 10091) { platform.FailStartup(startupError); }

  FramePlatform platform;
  ScopedPlatform installed{platform};
  TempDir dir;
  const std::string log = dir.File("mail.log");
  MailSettings record = BaseSettings(25, log, "mail.invalid");
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_FRAME_FRAME_TEST_PLATFORM_H_
