// What the frame tests share: a thread-safe platform wrapper that pins the
// clock, counts and traces the lifecycle calls and keeps name lookups off
// the network; a record that passes validation; the exact log lines.
#ifndef TARNLET_TESTS_FRAME_FRAME_TEST_PLATFORM_H_
#define TARNLET_TESTS_FRAME_FRAME_TEST_PLATFORM_H_

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "platform/platform_wrapper.h"
#include "tarnlet.h"

namespace tarnlet {
namespace testing {

// 2026/03/05 09:07:03, a Thursday.
constexpr LocalTime kPinnedTime = {2026, 3, 4, 5, 9, 7, 3, 540};
constexpr char kStamp[] = "2026/03/05 09:07:03  ";

// 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001
const std::string kBadSettingsLine =
    std::string(kStamp) +
    "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001\r\n";
const std::string kStartupLine = std::string(kStamp) + "WSAStartup Miss-002\r\n";
// ﾎｽﾄ名が見つからない-004
const std::string kHostNotFoundLine =
    std::string(kStamp) +
    "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-004\r\n";

class FramePlatform : public PlatformWrapper {
 public:
  FramePlatform() : PlatformWrapper(NativePlatform()) {}

  void FailStartup(int code) { startupResult_ = code; }

  int startups() const { return startups_; }
  int cleanups() const { return cleanups_; }
  int logAppends() const { return logAppends_; }
  std::vector<std::string> trace() {
    std::lock_guard<std::mutex> guard(traceMutex_);
    return trace_;
  }

  LockHandle OpenCallLock() override {
    Note("open");
    return PlatformWrapper::OpenCallLock();
  }
  void WaitCallLock(LockHandle lock) override {
    PlatformWrapper::WaitCallLock(lock);
    Note("wait");
  }
  void ReleaseCallLock(LockHandle lock) override {
    Note("release");
    PlatformWrapper::ReleaseCallLock(lock);
  }
  void CloseCallLock(LockHandle lock) override {
    Note("close");
    PlatformWrapper::CloseCallLock(lock);
  }
  int StartupSockets() override {
    ++startups_;
    Note("startup");
    if (startupResult_ != 0) return startupResult_;
    return PlatformWrapper::StartupSockets();
  }
  void CleanupSockets() override {
    ++cleanups_;
    Note("cleanup");
    PlatformWrapper::CleanupSockets();
  }
  // Names under ".invalid" are never looked up for real.
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override {
    Note("resolve");
    std::size_t length = std::strlen(name);
    if (length >= 8 && std::strcmp(name + length - 8, ".invalid") == 0) {
      *error = 11001;
      return LookupResult::kHostNotFound;
    }
    return PlatformWrapper::ResolveIpv4(name, out, error);
  }
  LocalTime LocalNow() override { return kPinnedTime; }
  bool AppendLogLine(const char* path, const char* line) override {
    ++logAppends_;
    Note("log");
    return PlatformWrapper::AppendLogLine(path, line);
  }

 private:
  void Note(const char* event) {
    std::lock_guard<std::mutex> guard(traceMutex_);
    trace_.push_back(event);
  }

  std::atomic<int> startupResult_{0};
  std::atomic<int> startups_{0};
  std::atomic<int> cleanups_{0};
  std::atomic<int> logAppends_{0};
  std::mutex traceMutex_;
  std::vector<std::string> trace_;
};

inline void SetText(char* field, std::size_t width, const std::string& text) {
  std::memset(field, 0, width);
  std::memcpy(field, text.data(), text.size() < width ? text.size() : width - 1);
}
#define TARNLET_SET(record, field, text) \
  ::tarnlet::testing::SetText((record).field, sizeof((record).field), (text))

// A record that passes every check; its server name is never looked up.
inline MailSettings ValidRecord(const std::string& logPath) {
  MailSettings record;
  std::memset(&record, 0, sizeof record);
  record.SMTPPortNo = 25;
  record.POP3PortNo = 110;
  TARNLET_SET(record, SMTPServerAddress, "mail.invalid");
  TARNLET_SET(record, POP3ServerAddress, "pop.invalid");
  TARNLET_SET(record, Address, "to@example.com");
  TARNLET_SET(record, MyHostFQDNName, "client.example.com");
  TARNLET_SET(record, MyMailAddress, "from@example.com");
  TARNLET_SET(record, Log, logPath);
  return record;
}

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_FRAME_FRAME_TEST_PLATFORM_H_
