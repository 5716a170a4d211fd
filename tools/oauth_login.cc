#include "oauth_login.h"

#include <cstdint>

#include "codec/base64.h"
#include "mail/oauth_token_request.h"
#include "platform/platform.h"
#include "system/tool_support.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

constexpr unsigned kBrowserWaitSeconds = 300;

// RFC 4648 section 5, without padding (RFC 7636 appendix A).
std::string Base64Url(const std::string& bytes) {
  std::string out((bytes.size() + 2) / 3 * 4, '\0');
  int length = 0;
  Base64Codec::Encode(&out[0], &length, reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(length));
  while (!out.empty() && out.back() == '=') out.pop_back();
  for (char& c : out) {
    if (c == '+') c = '-';
    if (c == '/') c = '_';
  }
  return out;
}

std::string RandomText(std::size_t bytes) {
  std::string random(bytes, '\0');
  if (!RandomBytes(reinterpret_cast<unsigned char*>(&random[0]), bytes)) {
    throw ToolError(kExitSystem, "the system's random generator failed");
  }
  return Base64Url(random);
}

std::string Encoded(const std::string& value) { return PercentEncoded(value.data(), value.size()); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "name=value" of a query ("/?code=...&state=..."), decoded; "" if missing.
std::string QueryValue(const std::string& target, const std::string& name) {
  const std::size_t query = target.find('?');
  if (query == std::string::npos) return "";
  std::string rest = target.substr(query + 1);
  for (std::size_t at = 0; at <= rest.size();) {
    std::size_t end = rest.find('&', at);
    if (end == std::string::npos) end = rest.size();
    const std::string pair = rest.substr(at, end - at);
    if (pair.compare(0, name.size() + 1, name + "=") == 0) {
      std::string value;
      for (std::size_t i = name.size() + 1; i < pair.size(); ++i) {
        // A '%' without two hex digits behind it stands for itself.
        const int high = i + 2 < pair.size() ? HexValue(pair[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(pair[i + 2]) : -1;
        if (pair[i] == '%' && low >= 0) {
          value += static_cast<char>(high * 16 + low);
          i += 2;
        } else {
          value += pair[i] == '+' ? ' ' : pair[i];
        }
      }
      return value;
    }
    at = end + 1;
  }
  return "";
}

std::string Failed(const char* step, const OauthOutcome& outcome, const TokenAnswer& answer) {
  std::string text = std::string(step) + " failed: " + TextOf(outcome.line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!answer.error.empty()) text += " (" + answer.error + ")";
  return text;
}

std::string RefreshTokenOf(const TokenAnswer& answer) {
  if (answer.refreshToken.empty()) {
    throw ToolError(kExitData,
                    "the provider gave no refresh token: ask for offline access in the scope");
  }
  return std::string(answer.refreshToken.data(), answer.refreshToken.size());
}

}  // namespace

std::string SignInWithDeviceCode(const SignIn& signIn, std::ostream& out) {
  TokenForm request;
  request.Add("client_id", signIn.clientId).Add("scope", signIn.scope);
  TokenAnswer device;
  OauthOutcome outcome = RequestDeviceCode(signIn.deviceUrl, request, &device);
  if (!outcome.ok) throw ToolError(kExitData, Failed("the device code request", outcome, device));
  out << "To sign in, open " << device.verificationUri << " and enter the code " << device.userCode
      << "\n";
  out.flush();
  std::int64_t interval = device.interval > 0 ? device.interval : 5;
  Platform& platform = CurrentPlatform();
  const std::uint64_t deadline = platform.MonotonicSeconds() + device.expiresIn;
  for (;;) {
    platform.SleepMilliseconds(static_cast<unsigned>(interval * 1000));
    TokenForm poll;
    poll.Add("grant_type", std::string("urn:ietf:params:oauth:grant-type:device_code"))
        .Add("device_code", device.deviceCode)
        .Add("client_id", signIn.clientId)
        .Add("client_secret", signIn.clientSecret);
    TokenAnswer answer;
    outcome = RequestToken(signIn.tokenUrl, poll, &answer);
    if (outcome.ok) return RefreshTokenOf(answer);
    if (answer.error == "slow_down") interval += 5;
    const bool waiting = answer.error == "authorization_pending" || answer.error == "slow_down";
    if (!waiting) throw ToolError(kExitData, Failed("signing in", outcome, answer));
    if (platform.MonotonicSeconds() > deadline) {
      throw ToolError(kExitData, "the code expired before anyone signed in");
    }
  }
}

std::string SignInWithBrowser(const SignIn& signIn, std::ostream& out) {
  LoopbackListener listener;
  if (listener.port() == 0) throw ToolError(kExitSystem, "cannot listen on 127.0.0.1");
  const std::string redirect = "http://127.0.0.1:" + std::to_string(listener.port()) + "/";
  const std::string verifier = RandomText(48);
  const std::string state = RandomText(16);
  const std::string url =
      signIn.authorizeUrl + "?response_type=code&client_id=" + Encoded(signIn.clientId) +
      "&redirect_uri=" + Encoded(redirect) + "&scope=" + Encoded(signIn.scope) +
      "&code_challenge=" + Base64Url(Sha256(verifier)) +
      "&code_challenge_method=S256&state=" + state + "&access_type=offline&prompt=consent";
  out << "To sign in, open this address in a browser on this computer:\n" << url << "\n";
  out.flush();
  const std::string target = listener.TakeRequest(
      kBrowserWaitSeconds, "<p>Tarnlet: signed in. You can close this window.</p>");
  if (target.empty()) throw ToolError(kExitData, "no sign-in arrived within 5 minutes");
  if (QueryValue(target, "state") != state) {
    throw ToolError(kExitData, "the sign-in's answer does not belong to this request");
  }
  const std::string code = QueryValue(target, "code");
  if (code.empty()) {
    throw ToolError(kExitData, "the sign-in was refused: " + QueryValue(target, "error"));
  }
  TokenForm trade;
  trade.Add("grant_type", std::string("authorization_code"))
      .Add("code", code)
      .Add("redirect_uri", redirect)
      .Add("client_id", signIn.clientId)
      .Add("client_secret", signIn.clientSecret)
      .Add("code_verifier", verifier);
  TokenAnswer answer;
  const OauthOutcome outcome = RequestToken(signIn.tokenUrl, trade, &answer);
  if (!outcome.ok) throw ToolError(kExitData, Failed("trading the code", outcome, answer));
  return RefreshTokenOf(answer);
}

}  // namespace tool
}  // namespace tarnlet
