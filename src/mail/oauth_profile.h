// OAuth profiles: an INI file beside the host (never the settings record)
// whose sections say, for an SMTP server and user, where and how to get
// an access token. The first section whose Server and User match (without
// case) is the profile.
#ifndef TARNLET_MAIL_OAUTH_PROFILE_H_
#define TARNLET_MAIL_OAUTH_PROFILE_H_

#include <string>

#include "mail/oauth_outcome.h"
#include "mail/oauth_secret.h"

namespace tarnlet {

struct OauthProfile {
  std::string file;      // the INI file it came from
  std::string name;      // its section
  std::string server;    // Server
  std::string user;      // User
  std::string tokenUrl;  // TokenUrl: https:// only
  std::string clientId;  // ClientId
  std::string scope;     // Scope
  Secret clientSecret;   // ClientSecret, unsealed when stored with DPAPI
  Secret refreshToken;   // RefreshToken; empty: the client-credentials grant
};

// The files searched, in order: TARNLET_OAUTH_FILE alone when it is set;
// else the user's file, then the machine's. Returns how many paths it put
// in paths (at most 2).
int OauthProfileFiles(std::string paths[2]);

// Looks for the profile of server and user. *found tells whether there is
// one; a file that exists but cannot be used (unreadable, readable by
// others, a value that cannot be unsealed or is not allowed) fails.
OauthOutcome FindOauthProfile(const char* server, const char* user, OauthProfile* profile,
                              bool* found);

// Whether path may be read: true for a private file. A missing file leaves
// *outcome Done; one open to others fails, one that cannot be read fails
// with unreadableLine and the error number.
bool PrivateFile(const std::string& path, LogLine unreadableLine, OauthOutcome* outcome);

// The value of "dpapi:BASE64" unsealed, any other value as it is; false
// when a sealed value cannot be opened here.
bool UnsealValue(const Secret& stored, Secret* value);
// value sealed for this user as "dpapi:BASE64" where the system can;
// otherwise false.
bool SealValue(const Secret& value, std::string* stored);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_PROFILE_H_
