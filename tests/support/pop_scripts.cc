#include "support/pop_scripts.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/md5.h"
#include "frame/globals.h"
#include "mail/hmac_md5.h"
#include "net/poll_step.h"
#include "support/settings_fixture.h"
#include "support/stored_log.h"

namespace tarnlet {
namespace testing {

std::vector<PeerStep> AnswerLines(const std::vector<std::string>& replies) {
  std::vector<PeerStep> steps;
  for (const std::string& reply : replies) {
    steps.push_back(ExpectLine());
    steps.push_back(Send(reply));
  }
  return steps;
}

std::vector<PeerStep> GreetThenAnswer(const std::string& greeting,
                                      const std::vector<std::string>& replies) {
  std::vector<PeerStep> steps = AnswerLines(replies);
  steps.insert(steps.begin(), Send(greeting));
  return steps;
}

std::string Base64Of(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3), '\0');
  int length = 0;
  Base64Codec::Encode(&out[0], &length, reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string CramResponseLine(const std::string& user, const std::string& password,
                             const std::string& challenge) {
  unsigned char digest[kHmacMd5DigestSize];
  HmacMd5(reinterpret_cast<const unsigned char*>(password.data()), password.size(),
          reinterpret_cast<const unsigned char*>(challenge.data()), challenge.size(), digest);
  char hex[2 * kHmacMd5DigestSize + 1];
  DigestToHex(digest, hex);
  return Base64Of(user + " " + hex) + "\r\n";
}

std::string ApopLine(const std::string& user, const std::string& timestamp,
                     const std::string& password) {
  const std::string input = timestamp + password;
  Md5Digest md5;
  Md5Context context;
  unsigned char digest[16];
  md5.Init(&context);
  md5.Update(&context, reinterpret_cast<const unsigned char*>(input.data()),
             static_cast<std::uint32_t>(input.size()));
  md5.Final(digest, &context);
  char hex[33];
  DigestToHex(digest, hex);
  return "APOP " + user + " " + hex + "\r\n";
}

LocalTime LoginTestTime() { return LocalTime{2026, 3, 4, 5, 9, 7, 3, 540}; }

std::string ExpectedLog(const std::vector<std::string>& messages) { return StoredLog(messages); }

void CloseWatchingPlatform::CloseSocket(SocketHandle socket) {
  logAtClose.push_back(ReadFileBytes(logPath));
  FaultPlatform::CloseSocket(socket);
}

LoginTest::LoginTest() : installed_(platform_) {
  platform_.logPath = folder_.File("auth.log");
  platform_.PinTime(LoginTestTime());
  socketsStarted_ = platform_.StartupSockets() == 0;
  g_mailSettings = BaseSettings(25, platform_.logPath);
  SetPollStepForTesting(1);
}

LoginTest::~LoginTest() {
  SetPollStepForTesting(0);
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  if (socketsStarted_) platform_.CleanupSockets();
}

SocketHandle LoginTest::Connect(std::uint16_t port) {
  int error = 0;
  SocketHandle socket = platform_.CreateTcpSocket(&error);
  EXPECT_NE(socket, kInvalidSocket) << error;
  EXPECT_TRUE(platform_.ConnectIpv4(socket, "127.0.0.1", port, &error)) << error;
  EXPECT_TRUE(platform_.SetNonBlocking(socket, &error)) << error;
  return socket;
}

std::string LoginTest::LogBytes() const { return ReadFileBytes(platform_.logPath); }

}  // namespace testing
}  // namespace tarnlet
