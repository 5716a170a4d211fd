// Delegated consent for tarnlet oauth login: a user signs in once and the
// provider hands out a refresh token for the profile.
#ifndef TARNLET_TOOLS_OAUTH_LOGIN_H_
#define TARNLET_TOOLS_OAUTH_LOGIN_H_

#include <ostream>
#include <string>

namespace tarnlet {
namespace tool {

struct SignIn {
  std::string tokenUrl;
  std::string deviceUrl;
  std::string authorizeUrl;
  std::string clientId;
  std::string clientSecret;  // "" for a public client
  std::string scope;
};

// The device flow (RFC 8628): shows the address and the code to enter
// there, then asks the token endpoint until the user has agreed, the
// code expired or the endpoint refused. Returns the refresh token; throws
// ToolError.
std::string SignInWithDeviceCode(const SignIn& signIn, std::ostream& out);

// The browser sign-in of a native app (RFC 8252) with PKCE (RFC 7636):
// shows the address to open, takes the redirect on a loopback port, and
// trades the code for tokens. Returns the refresh token; throws ToolError.
std::string SignInWithBrowser(const SignIn& signIn, std::ostream& out);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_OAUTH_LOGIN_H_
