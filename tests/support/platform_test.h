// The one fixture of the tests that drive the library over loopback: it
// installs the counting platform with the pinned clock and seed, starts the
// socket library, fills the settings with the base record (log in a fresh
// folder), cuts each poll wait to 1 ms, and undoes all of it afterwards.
#ifndef TARNLET_TESTS_SUPPORT_PLATFORM_TEST_H_
#define TARNLET_TESTS_SUPPORT_PLATFORM_TEST_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame/mail_sender.h"
#include "support/fault_platform.h"
#include "support/pinned_clock.h"
#include "support/scripted_peer.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {

class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest();
  ~PlatformTest() override;

  // A connected, non-blocking client socket to a peer on 127.0.0.1.
  SocketHandle Connect(std::uint16_t port);
  void CloseSocket(SocketHandle socket) { platform_.CloseSocket(socket); }
  std::string Log() const;
  // Empties the log file between the rows of one test.
  void ClearLog() const;
  const std::string& folder() const { return folder_.path(); }
  std::string File(const std::string& name) const { return folder_.File(name); }
  // Nothing the call opened or allocated is left behind.
  void ExpectAllReleased();

  FaultPlatform platform_;
  // What the log file held at each socket close, so a test can tell
  // "close, then log" from "log, then close".
  std::vector<std::string> logAtClose_;

 private:
  ScopedPlatform installed_;
  TempDir folder_;
  std::string logPath_;
  bool socketsStarted_ = false;
};

// A row of a failure table: the peer's script and a fault of the platform
// (none when empty), then what the call returns, what the peer received
// and the lines of the log.
struct FaultRow {
  const char* what;
  std::vector<PeerStep> script;
  std::function<void(FaultPlatform&)> fault;
  ResultCode code;
  std::string transcript;
  std::vector<std::string> log;
};

// The next Message-Id number seeds anew from the platform's entropy.
void ReseedMessageId();

// For the tests that call one operation of a sender directly.
class SenderTest : public PlatformTest {
 protected:
  MailSender sender_;  // after the platform: its lock handle comes from there
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_PLATFORM_TEST_H_
