// Shared pieces of the login tests (CRAM-MD5 and POP before SMTP): scripts
// for the peer, the lines a correct client sends, the pinned clock with the
// log file it yields, and a fixture that installs a fault platform and a
// log in a fresh folder.
#ifndef TARNLET_TESTS_SUPPORT_POP_SCRIPTS_H_
#define TARNLET_TESTS_SUPPORT_POP_SCRIPTS_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/mail_sender.h"
#include "support/fault_platform.h"
#include "support/scripted_peer.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {

// The peer answers each client line with the next reply.
std::vector<PeerStep> AnswerLines(const std::vector<std::string>& replies);
// The peer greets first, then answers each client line with the next reply.
std::vector<PeerStep> GreetThenAnswer(const std::string& greeting,
                                      const std::vector<std::string>& replies);

std::string Base64Of(const std::string& bytes);
// The CRAM-MD5 response line of RFC 2195 (base64 of user, space, hex
// HMAC-MD5 of the challenge keyed with the password; CR LF), built on the
// HMAC that the published vectors check.
std::string CramResponseLine(const std::string& user, const std::string& password,
                             const std::string& challenge);
// The APOP command line of RFC 1939: MD5 of timestamp and password.
std::string ApopLine(const std::string& user, const std::string& timestamp,
                     const std::string& password);

// The clock the login tests pin: 2026/03/05 09:07:03.
LocalTime LoginTestTime();
// What a log file holds after messages were written at LoginTestTime():
// a timestamp and two spaces before each, every LF stored as CR LF.
std::string ExpectedLog(const std::vector<std::string>& messages);

// Remembers what the log file held at each socket close, so tests can
// tell "close, then log" from "log, then close".
class CloseWatchingPlatform : public FaultPlatform {
 public:
  void CloseSocket(SocketHandle socket) override;

  std::string logPath;
  std::vector<std::string> logAtClose;
};

// Installs the watching platform with the pinned clock, starts the socket
// library, fills the settings with the base record (log in a fresh folder)
// and shortens the poll step to 1 ms; undoes all of it afterwards.
class LoginTest : public ::testing::Test {
 protected:
  LoginTest();
  ~LoginTest() override;

  // A connected, non-blocking client socket to a peer on 127.0.0.1.
  SocketHandle Connect(std::uint16_t port);
  std::string LogBytes() const;

  CloseWatchingPlatform platform_;

 private:
  ScopedPlatform installed_;
  TempDir folder_;
  bool socketsStarted_ = false;

 protected:
  MailSender sender_;  // after the platform: its lock handle comes from there
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_POP_SCRIPTS_H_
