// Shared set-up of the transport tests: a fault platform with the clock
// pinned, a log file in a fresh folder, the wait step shortened, and
// connected non-blocking sockets to scripted peers.
#ifndef TARNLET_TESTS_NET_NET_FIXTURE_H_
#define TARNLET_TESTS_NET_NET_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "net/poll_step.h"
#include "support/fault_platform.h"
#include "support/scripted_peer.h"
#include "support/stored_log.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {

constexpr const char* kStamp = kPinnedStamp;

inline std::string Stored(const std::string& message) { return StoredLogLine(message); }

class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fault_.PinTime(LocalTime{2026, 3, 4, 5, 9, 7, 3, 540});
    std::memcpy(savedLog_, g_mailSettings.Log, sizeof savedLog_);
    const std::string path = dir_.File("tarnlet.log");
    ASSERT_LT(path.size(), sizeof g_mailSettings.Log);
    std::memcpy(g_mailSettings.Log, path.c_str(), path.size() + 1);
    SetPollStepForTesting(1);
    ASSERT_EQ(CurrentPlatform().StartupSockets(), 0);
  }

  void TearDown() override {
    CurrentPlatform().CleanupSockets();
    SetPollStepForTesting(0);
    std::memcpy(g_mailSettings.Log, savedLog_, sizeof savedLog_);
    EXPECT_EQ(fault_.OpenSockets(), 0);
  }

  // A connected socket in non-blocking mode, as the dialogues use it.
  SocketHandle Connect(const ScriptedPeer& peer) {
    int error = 0;
    SocketHandle socket = CurrentPlatform().CreateTcpSocket(&error);
    EXPECT_NE(socket, kInvalidSocket) << error;
    EXPECT_TRUE(CurrentPlatform().ConnectIpv4(socket, "127.0.0.1", peer.port(), &error)) << error;
    EXPECT_TRUE(CurrentPlatform().SetNonBlocking(socket, &error)) << error;
    return socket;
  }

  void CloseSocket(SocketHandle socket) { CurrentPlatform().CloseSocket(socket); }

  std::string Log() const { return ReadFileBytes(dir_.File("tarnlet.log")); }

  FaultPlatform fault_;
  ScopedPlatform installed_{fault_};
  MailSender sender_;

 private:
  TempDir dir_;
  char savedLog_[sizeof g_mailSettings.Log];
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_NET_NET_FIXTURE_H_
