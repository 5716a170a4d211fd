// Shared pieces of the login tests (CRAM-MD5 and POP before SMTP): scripts
// for the peer and the lines a correct client sends.
#ifndef TARNLET_TESTS_SUPPORT_POP_SCRIPTS_H_
#define TARNLET_TESTS_SUPPORT_POP_SCRIPTS_H_

#include <string>
#include <vector>

#include "support/platform_test.h"
#include "support/reference_base64.h"
#include "support/scripted_peer.h"

namespace tarnlet {
namespace testing {

// The CRAM-MD5 response line of RFC 2195 (base64 of user, space, hex
// HMAC-MD5 of the challenge keyed with the password; CR LF), built on the
// HMAC that the published vectors check.
std::string CramResponseLine(const std::string& user, const std::string& password,
                             const std::string& challenge);
// The APOP command line of RFC 1939: MD5 of timestamp and password.
std::string ApopLine(const std::string& user, const std::string& timestamp,
                     const std::string& password);

// The fixture of the login tests: the shared one, with a sender.
using LoginTest = SenderTest;

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_POP_SCRIPTS_H_
