// A valid settings record for tests to start from and then adjust.
#ifndef TARNLET_TESTS_SUPPORT_SETTINGS_FIXTURE_H_
#define TARNLET_TESTS_SUPPORT_SETTINGS_FIXTURE_H_

#include <cstdint>
#include <string>

#include "tarnlet.h"

namespace tarnlet {
namespace testing {

// The one record the tests start from, valid: Kind 0, Startup 1, both
// servers server, SMTP at smtpPort, POP3 at 110, To "to@example.com", From
// "from@example.com", own host "client.example", Subject "Test", X-Mailer
// "TestMailer", log at logPath (empty: none); the rest empty or zero.
MailSettings BaseSettings(std::uint16_t smtpPort, const std::string& logPath = "",
                          const std::string& server = "127.0.0.1");

// Copies text into a field of width bytes, cut to fit, and zeroes the rest.
void SetField(char* field, std::size_t width, const std::string& text);
template <std::size_t N>
void SetField(char (&field)[N], const std::string& text) {
  SetField(field, N, text);
}

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_SETTINGS_FIXTURE_H_
