#include "mail/oauth_token_request.h"

#include "platform/platform.h"

namespace tarnlet {
namespace {

// No endpoint's answer comes near this; one that does is not a token.
constexpr std::size_t kAnswerCapacity = 65536;

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

template <typename Text>
void AppendPercentEncoded(Text* out, const char* value, std::size_t length) {
  static const char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    if (Unreserved(c)) {
      *out += static_cast<char>(c);
    } else {
      *out += '%';
      *out += kHex[c >> 4];
      *out += kHex[c & 15];
    }
  }
}

using Reader = TokenAnswer (*)(const char*, std::size_t);

OauthOutcome Post(const std::string& url, const TokenForm& form, TokenAnswer* answer, Reader read) {
  Secret body(kAnswerCapacity, '\0');
  const HttpsAnswer http =
      CurrentPlatform().PostForm(url.c_str(), form.text().c_str(), form.text().size(),
                                 kTokenRequestSeconds, &body[0], body.size());
  switch (http.outcome) {
    case HttpsOutcome::kAnswered:
      break;
    case HttpsOutcome::kTimedOut:
      return OauthOutcome::Failed(LogLine::kOauthEndpointTimeOut);
    case HttpsOutcome::kCertificate:
      return OauthOutcome::Failed(LogLine::kOauthEndpointCertificate, http.error);
    case HttpsOutcome::kRefusedUrl:
      return OauthOutcome::Failed(LogLine::kOauthProfileIncomplete);
    case HttpsOutcome::kUnreachable:
    case HttpsOutcome::kFailed:
      return OauthOutcome::Failed(LogLine::kOauthEndpointUnreachable, http.error);
  }
  *answer = http.bodyTooLong ? TokenAnswer() : read(body.data(), http.bodyLength);
  switch (answer->kind) {
    case TokenAnswer::Kind::kToken:
      if (http.status == 200) return OauthOutcome::Done();
      return OauthOutcome::Failed(LogLine::kOauthEndpointHttpNg, http.status);
    case TokenAnswer::Kind::kError:
      if (answer->error == "invalid_client") {
        return OauthOutcome::Failed(LogLine::kOauthInvalidClient);
      }
      if (answer->error == "invalid_grant")
        return OauthOutcome::Failed(LogLine::kOauthInvalidGrant);
      return OauthOutcome::Failed(LogLine::kOauthEndpointHttpNg, http.status);
    case TokenAnswer::Kind::kNotJson:
      break;
  }
  if (http.status != 200) return OauthOutcome::Failed(LogLine::kOauthEndpointHttpNg, http.status);
  return OauthOutcome::Failed(LogLine::kOauthAnswerNg);
}

}  // namespace

std::string PercentEncoded(const char* value, std::size_t length) {
  std::string encoded;
  AppendPercentEncoded(&encoded, value, length);
  return encoded;
}

TokenForm& TokenForm::Add(const char* name, const char* value, std::size_t length) {
  if (length == 0) return *this;
  if (!text_.empty()) text_ += '&';
  text_ += name;
  text_ += '=';
  // Straight into the wiped buffer: no other copy of a secret.
  AppendPercentEncoded(&text_, value, length);
  return *this;
}

OauthOutcome RequestToken(const std::string& url, const TokenForm& form, TokenAnswer* answer) {
  return Post(url, form, answer, ReadTokenAnswer);
}

OauthOutcome RequestDeviceCode(const std::string& url, const TokenForm& form, TokenAnswer* answer) {
  return Post(url, form, answer, ReadDeviceAnswer);
}

}  // namespace tarnlet
