// One request to a token endpoint (RFC 6749 4.4, 6; RFC 8628 3.4): the
// form with the client's id and secret in its body, the POST bounded at
// 60 s, and the answer read.
#ifndef TARNLET_MAIL_OAUTH_TOKEN_REQUEST_H_
#define TARNLET_MAIL_OAUTH_TOKEN_REQUEST_H_

#include <string>

#include "mail/oauth_outcome.h"
#include "mail/oauth_secret.h"
#include "mail/oauth_token_answer.h"

namespace tarnlet {

constexpr unsigned kTokenRequestSeconds = 60;

// value with every byte but RFC 3986's unreserved ones as %XX.
std::string PercentEncoded(const char* value, std::size_t length);

// An application/x-www-form-urlencoded body; it may hold secrets.
class TokenForm {
 public:
  // Adds name=value, the value percent-encoded; an empty value is left out.
  TokenForm& Add(const char* name, const char* value, std::size_t length);
  TokenForm& Add(const char* name, const std::string& value) {
    return Add(name, value.data(), value.size());
  }
  TokenForm& Add(const char* name, const Secret& value) {
    return Add(name, value.data(), value.size());
  }
  const Secret& text() const { return text_; }

 private:
  Secret text_;
};

// POSTs form to url and reads the answer into *answer (also an error
// answer, whose code the device flow looks at). Done for a token; else the
// line for what went wrong: the endpoint unreachable, slow, its
// certificate refused, an HTTP error, an answer that is not a token,
// invalid_client, invalid_grant.
OauthOutcome RequestToken(const std::string& url, const TokenForm& form, TokenAnswer* answer);

// The same for a device authorization endpoint (RFC 8628 3.1).
OauthOutcome RequestDeviceCode(const std::string& url, const TokenForm& form, TokenAnswer* answer);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_TOKEN_REQUEST_H_
