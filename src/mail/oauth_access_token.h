// The access token of a profile for one call: one kept from an earlier
// call of this process while more than 60 s of it are left, else a new
// one from the token endpoint (the client-credentials grant, or the
// refresh-token grant with the cached or the profile's refresh token).
#ifndef TARNLET_MAIL_OAUTH_ACCESS_TOKEN_H_
#define TARNLET_MAIL_OAUTH_ACCESS_TOKEN_H_

#include <cstdint>
#include <string>

#include "mail/oauth_outcome.h"
#include "mail/oauth_profile.h"

namespace tarnlet {

// A token just fetched serves its own call whatever its lifetime says.
OauthOutcome ObtainAccessToken(const OauthProfile& profile, Secret* token, std::int64_t* expiresIn);

// Forgets every token kept in this process (the command's oauth verbs),
// or profile's alone (a token the server refused: the next call asks anew).
void ForgetKeptTokens();
void ForgetKeptToken(const OauthProfile& profile);

// The profile whose token the last login of this process used and how
// many seconds that token had left, for the command's trace; empty name
// before the first.
struct TokenNote {
  std::string profile;
  std::int64_t expiresIn = 0;
};
TokenNote LastTokenNote();

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_ACCESS_TOKEN_H_
