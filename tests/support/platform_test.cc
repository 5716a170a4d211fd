#include "support/platform_test.h"

#include <cstring>

#include "frame/globals.h"
#include "mail/message_headers.h"
#include "support/settings_fixture.h"

namespace tarnlet {
namespace testing {

PlatformTest::PlatformTest() : installed_(platform_), logPath_(folder_.File("tarnlet.log")) {
  platform_.PinTime();
  platform_.OnCloseSocket([this] { logAtClose_.push_back(ReadFileBytes(logPath_)); });
  socketsStarted_ = platform_.StartupSockets() == 0;
  EXPECT_TRUE(socketsStarted_);
  g_mailSettings = BaseSettings(25, logPath_);
  platform_.SleepAtMost(1);
  ReseedMessageId();
}

PlatformTest::~PlatformTest() {
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  if (socketsStarted_) platform_.CleanupSockets();
}

SocketHandle PlatformTest::Connect(std::uint16_t port) {
  int error = 0;
  SocketHandle socket = platform_.CreateTcpSocket(&error);
  EXPECT_NE(socket, kInvalidSocket) << error;
  EXPECT_TRUE(platform_.ConnectIpv4(socket, "127.0.0.1", port, &error)) << error;
  EXPECT_TRUE(platform_.SetNonBlocking(socket, &error)) << error;
  return socket;
}

std::string PlatformTest::Log() const { return ReadFileBytes(logPath_); }

void PlatformTest::ClearLog() const { WriteFileBytes(logPath_, ""); }

void ReseedMessageId() { g_messageIdNumbers = MessageIdNumbers(); }

void PlatformTest::ExpectAllReleased() {
  EXPECT_EQ(platform_.OpenSockets(), 0);
  EXPECT_EQ(platform_.OpenTlsSessions(), 0);
  EXPECT_EQ(platform_.OpenFiles(), 0);
  EXPECT_EQ(platform_.LiveBlocks(), 0);
}

}  // namespace testing
}  // namespace tarnlet
