// What a token endpoint answered, read from its JSON (RFC 6749 5.1, 5.2).
#ifndef TARNLET_MAIL_OAUTH_TOKEN_ANSWER_H_
#define TARNLET_MAIL_OAUTH_TOKEN_ANSWER_H_

#include <cstdint>
#include <string>

#include "mail/oauth_secret.h"

namespace tarnlet {

struct TokenAnswer {
  enum class Kind { kToken, kError, kNotJson };
  Kind kind = Kind::kNotJson;
  Secret accessToken;
  Secret refreshToken;         // empty when none came (the old one stays)
  std::int64_t expiresIn = 0;  // seconds; a missing expires_in means one hour
  std::string error;           // the "error" code of an error answer
  // Device authorization (RFC 8628 3.2), for the command's login.
  std::string deviceCode;
  std::string userCode;
  std::string verificationUri;
  std::int64_t interval = 0;
};

// Reads a successful answer: an object with a string access_token and a
// token_type of "Bearer" (any case); kNotJson when it is not one. An
// object with a string "error" is kError whatever else it holds.
TokenAnswer ReadTokenAnswer(const char* body, std::size_t length);

// Reads a device authorization answer into the device fields; kNotJson
// when device_code, user_code or verification_uri is missing.
TokenAnswer ReadDeviceAnswer(const char* body, std::size_t length);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_TOKEN_ANSWER_H_
