// The command's side of OAuth profiles: the providers it knows, and
// writing one profile into an INI file (the library only reads them).
#ifndef TARNLET_TOOLS_OAUTH_PROFILES_H_
#define TARNLET_TOOLS_OAUTH_PROFILES_H_

#include <string>
#include <utility>
#include <vector>

namespace tarnlet {
namespace tool {

// What --provider fills in; "{tenant}" in a URL stands for --tenant.
struct ProviderPreset {
  const char* name;
  const char* server;
  const char* tokenUrl;
  const char* deviceUrl;     // "" when the provider has no device flow here
  const char* authorizeUrl;  // "" when it has no browser sign-in here
  const char* appScope;      // client credentials (oauth add)
  const char* userScope;     // delegated consent (oauth login)
};
extern const ProviderPreset kProviderPresets[2];
// null when name is none of them.
const ProviderPreset* FindPreset(const std::string& name);
// url with "{tenant}" replaced.
std::string WithTenant(const std::string& url, const std::string& tenant);

// Section names compare without case (ASCII letters), as the readers take them.
bool SameName(const std::string& a, const std::string& b);

using ProfileValues = std::vector<std::pair<std::string, std::string>>;

// The text of an INI file with section name's lines replaced by values
// (or removed when values is null); every other line stays as it is.
std::string WithSection(const std::string& text, const std::string& name,
                        const ProfileValues* values);

// Writes section name of the profile file at path (made, readable by its
// owner only, when missing), or removes it. Secrets are sealed for this
// user where the system can (Windows: DPAPI). Throws ToolError.
void WriteProfile(const std::string& path, const std::string& name, const ProfileValues* values);

// The file oauth add, login and remove write: file when given, else
// TARNLET_OAUTH_FILE, else the user's own file.
std::string ProfileFileFor(const std::string& file);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_OAUTH_PROFILES_H_
