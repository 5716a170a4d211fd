// The per-user token cache: the refresh token an endpoint rotated, kept
// for every later call and process (the profile file is never rewritten),
// replaced in one step under a lock across processes. It supersedes the
// profile's RefreshToken. Sealed for the user where the system can
// (DPAPI); on Linux private by its permissions, and refused when others
// can read it.
#ifndef TARNLET_MAIL_OAUTH_TOKEN_CACHE_H_
#define TARNLET_MAIL_OAUTH_TOKEN_CACHE_H_

#include <string>

#include "mail/oauth_outcome.h"
#include "mail/oauth_profile.h"
#include "platform/platform.h"

namespace tarnlet {

// The cache file of profile (suffix ".ini") or its lock (".lock"); empty
// when the system names no folder for it.
std::string TokenCachePath(const OauthProfile& profile, const char* suffix);

// Holds the cache's lock across processes while it lives.
class TokenCacheLock {
 public:
  TokenCacheLock() = default;
  ~TokenCacheLock();
  TokenCacheLock(const TokenCacheLock&) = delete;
  TokenCacheLock& operator=(const TokenCacheLock&) = delete;

  // Waits for the lock in 100 ms steps, at most 90 s (longer than a token
  // request may take another process).
  OauthOutcome Take(const OauthProfile& profile);

 private:
  LockHandle lock_ = nullptr;
};

// The cached refresh token of profile; *found false when there is none.
OauthOutcome ReadCachedRefreshToken(const OauthProfile& profile, Secret* token, bool* found);
// Keeps token as profile's refresh token from now on.
OauthOutcome StoreRefreshToken(const OauthProfile& profile, const Secret& token);
// Forgets what is cached for profile; false when a file stays.
bool ForgetCachedToken(const OauthProfile& profile);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_TOKEN_CACHE_H_
