#include "mail/oauth_access_token.h"

#include <vector>

#include "mail/oauth_token_cache.h"
#include "mail/oauth_token_request.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

constexpr std::int64_t kReuseMarginSeconds = 60;

// A token kept between calls is held masked with a pad of this process's,
// so no copy of its text lies in memory between calls; it is unmasked into
// a Secret for the call that uses it.
struct KeptToken {
  std::string key;
  std::string profile;
  Secret masked;
  std::uint64_t expiresAt;
};

// Process-global, touched only while CallLock is held.
std::vector<KeptToken>& Kept() {
  static std::vector<KeptToken> kept;
  return kept;
}
TokenNote& Note() {
  static TokenNote note;
  return note;
}

const std::string& Pad() {
  static const std::string pad = [] {
    std::string bytes(64, '\0');
    std::uint32_t state = CurrentPlatform().EntropySeed() | 1u;
    for (char& c : bytes) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      c = static_cast<char>(state);
    }
    return bytes;
  }();
  return pad;
}

void Mask(Secret* text) {
  const std::string& pad = Pad();
  for (std::size_t i = 0; i < text->size(); ++i) (*text)[i] ^= pad[i % pad.size()];
}

std::string KeyOf(const OauthProfile& profile) { return profile.file + "\n" + profile.name; }

KeptToken* FindKept(const std::string& key) {
  for (KeptToken& kept : Kept()) {
    if (kept.key == key) return &kept;
  }
  return nullptr;
}

void Keep(const OauthProfile& profile, const Secret& token, std::uint64_t expiresAt) {
  const std::string key = KeyOf(profile);
  KeptToken* kept = FindKept(key);
  if (kept == nullptr) {
    Kept().push_back(KeptToken{key, profile.name, Secret(), 0});
    kept = &Kept().back();
  }
  kept->masked = token;
  Mask(&kept->masked);
  kept->expiresAt = expiresAt;
}

OauthOutcome FetchToken(const OauthProfile& profile, Secret* token, std::int64_t* expiresIn) {
  TokenForm form;
  TokenCacheLock lock;
  Secret refresh;
  if (!profile.refreshToken.empty()) {
    OauthOutcome outcome = lock.Take(profile);
    bool cached = false;
    if (outcome.ok) outcome = ReadCachedRefreshToken(profile, &refresh, &cached);
    if (!outcome.ok) return outcome;
    if (!cached) refresh = profile.refreshToken;
    form.Add("grant_type", std::string("refresh_token")).Add("refresh_token", refresh);
  } else {
    form.Add("grant_type", std::string("client_credentials"));
  }
  form.Add("client_id", profile.clientId)
      .Add("client_secret", profile.clientSecret)
      .Add("scope", profile.scope);
  TokenAnswer answer;
  OauthOutcome outcome = RequestToken(profile.tokenUrl, form, &answer);
  if (!outcome.ok) return outcome;
  if (!refresh.empty() && !answer.refreshToken.empty() && answer.refreshToken != refresh) {
    outcome = StoreRefreshToken(profile, answer.refreshToken);
    if (!outcome.ok) return outcome;
  }
  *token = answer.accessToken;
  *expiresIn = answer.expiresIn;
  return OauthOutcome::Done();
}

}  // namespace

OauthOutcome ObtainAccessToken(const OauthProfile& profile, Secret* token,
                               std::int64_t* expiresIn) {
  const std::uint64_t now = CurrentPlatform().MonotonicSeconds();
  const KeptToken* kept = FindKept(KeyOf(profile));
  if (kept != nullptr && kept->expiresAt > now + kReuseMarginSeconds) {
    *token = kept->masked;
    Mask(token);
    *expiresIn = static_cast<std::int64_t>(kept->expiresAt - now);
  } else {
    OauthOutcome outcome = FetchToken(profile, token, expiresIn);
    if (!outcome.ok) return outcome;
    const std::int64_t lifetime = *expiresIn > 0 ? *expiresIn : 0;
    Keep(profile, *token, now + static_cast<std::uint64_t>(lifetime));
  }
  Note() = TokenNote{profile.name, *expiresIn};
  return OauthOutcome::Done();
}

void ForgetKeptTokens() { Kept().clear(); }

void ForgetKeptToken(const OauthProfile& profile) {
  const std::string key = KeyOf(profile);
  std::vector<KeptToken>& kept = Kept();
  for (auto it = kept.begin(); it != kept.end(); ++it) {
    if (it->key == key) {
      kept.erase(it);
      return;
    }
  }
}

TokenNote LastTokenNote() { return Note(); }

}  // namespace tarnlet
