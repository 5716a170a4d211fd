// A valid settings record for tests to start from and then adjust.
#ifndef TARNLET_TESTS_SUPPORT_SETTINGS_FIXTURE_H_
#define TARNLET_TESTS_SUPPORT_SETTINGS_FIXTURE_H_

#include <cstdint>
#include <string>

#include "tarnlet.h"

namespace tarnlet {
namespace testing {

// Kind 0 (plain SMTP), Startup 1, both servers "127.0.0.1", SMTP at
// smtpPort, POP3 at 110, To "to@example.com", From "from@example.com",
// own host "client.example", Subject "Test", X-Mailer "TestMailer", log
// at logPath (empty: no log); every other field empty or zero.
MailSettings BaseSettings(std::uint16_t smtpPort, const std::string& logPath = "");

// Copies text into a field of a record, always NUL-terminated.
template <std::size_t N>
void SetField(char (&field)[N], const std::string& text) {
  std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, length);
  field[length] = '\0';
}

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_SETTINGS_FIXTURE_H_
