// JSON through nlohmann/json (header-only, Debian's nlohmann-json3-dev),
// with every string value it makes in blocks that are wiped when freed: the
// answer carries the tokens. The parser's own token scratch (a plain vector)
// is not ours to wipe.
#include "mail/oauth_token_answer.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <map>
#include <vector>

#include "net/ascii_case.h"

namespace tarnlet {
namespace {

using Json = nlohmann::basic_json<std::map, std::vector, SecretString, bool, std::int64_t,
                                  std::uint64_t, double, WipingAllocator>;

// Parses body; a discarded value when it is not JSON. Running out of memory
// counts as not JSON: the call fails, it does not crash.
Json Parse(const char* body, std::size_t length) {
  try {
    return Json::parse(body, body + length, nullptr, false);
  } catch (...) {
    return Json(Json::value_t::discarded);
  }
}

const SecretString* StringAt(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return nullptr;
  return it->get_ptr<const SecretString*>();
}

std::string PlainAt(const Json& object, const char* key) {
  const SecretString* text = StringAt(object, key);
  return text != nullptr ? std::string(text->data(), text->size()) : std::string();
}

// A number, or a string of digits as some endpoints send; fallback when
// missing or neither.
std::int64_t SecondsAt(const Json& object, const char* key, std::int64_t fallback) {
  auto it = object.find(key);
  if (it == object.end()) return fallback;
  if (it->is_number_integer()) return it->get<std::int64_t>();
  if (it->is_number_float()) {
    // Out of range (or NaN) the conversion itself would be undefined.
    const double seconds = it->get<double>();
    return seconds > -1e12 && seconds < 1e12 ? static_cast<std::int64_t>(seconds) : fallback;
  }
  if (!it->is_string()) return fallback;
  const SecretString& text = it->get_ref<const SecretString&>();
  if (text.empty() || text.size() > 12) return fallback;
  std::int64_t value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return fallback;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool IsBearer(const SecretString* type) {
  return type != nullptr && SameAsciiText(type->data(), type->size(), "bearer");
}

// The answer's JSON object; false when there is no more to read: it is no
// JSON object, or an error answer (its "error" then in answer).
bool ReadObject(const char* body, std::size_t length, Json* json, TokenAnswer* answer) {
  *json = Parse(body, length);
  if (!json->is_object()) return false;
  if (StringAt(*json, "error") == nullptr) return true;
  answer->kind = TokenAnswer::Kind::kError;
  answer->error = PlainAt(*json, "error");
  return false;
}

}  // namespace

TokenAnswer ReadTokenAnswer(const char* body, std::size_t length) {
  TokenAnswer answer;
  Json json;
  if (!ReadObject(body, length, &json, &answer)) return answer;
  const SecretString* token = StringAt(json, "access_token");
  if (token == nullptr || token->empty() || !IsBearer(StringAt(json, "token_type"))) return answer;
  answer.kind = TokenAnswer::Kind::kToken;
  answer.accessToken.assign(token->data(), token->size());
  if (const SecretString* refresh = StringAt(json, "refresh_token")) {
    answer.refreshToken.assign(refresh->data(), refresh->size());
  }
  answer.expiresIn = SecondsAt(json, "expires_in", 3600);
  return answer;
}

TokenAnswer ReadDeviceAnswer(const char* body, std::size_t length) {
  TokenAnswer answer;
  Json json;
  if (!ReadObject(body, length, &json, &answer)) return answer;
  answer.deviceCode = PlainAt(json, "device_code");
  answer.userCode = PlainAt(json, "user_code");
  answer.verificationUri = PlainAt(json, "verification_uri");
  if (answer.verificationUri.empty()) answer.verificationUri = PlainAt(json, "verification_url");
  if (answer.deviceCode.empty() || answer.userCode.empty() || answer.verificationUri.empty()) {
    return answer;
  }
  answer.kind = TokenAnswer::Kind::kToken;
  answer.expiresIn = SecondsAt(json, "expires_in", 900);
  answer.interval = SecondsAt(json, "interval", 5);
  return answer;
}

}  // namespace tarnlet
