#include "mail/oauth_profile.h"

#include <cstring>
#include <utility>
#include <vector>

#include "codec/base64.h"
#include "net/ascii_case.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

constexpr char kFileName[] = "oauth.ini";
constexpr char kSealed[] = "dpapi:";
// Refresh tokens of real providers run to 2 KB; room for several times that.
constexpr std::size_t kValueCapacity = 16384;
constexpr std::size_t kSectionsCapacity = 65536;

bool SameText(const std::string& a, const char* b) { return SameAsciiText(a.data(), a.size(), b); }

// One value as the settings' INI reader reads it, wiped from the scratch.
Secret ReadValue(const std::string& file, const char* section, const char* key) {
  Secret scratch(kValueCapacity, '\0');
  const std::size_t length =
      CurrentPlatform().ReadProfileString(file.c_str(), section, key, &scratch[0], kValueCapacity);
  Secret value(scratch.data(), length);
  return value;
}

std::string ReadPlain(const std::string& file, const char* section, const char* key) {
  Secret value = ReadValue(file, section, key);
  return std::string(value.data(), value.size());
}

// The rest of a profile whose server and user are already in *profile.
OauthOutcome ReadProfile(const std::string& file, const char* section, OauthProfile* profile) {
  profile->file = file;
  profile->name = section;
  profile->tokenUrl = ReadPlain(file, section, "TokenUrl");
  profile->clientId = ReadPlain(file, section, "ClientId");
  profile->scope = ReadPlain(file, section, "Scope");
  const Secret secret = ReadValue(file, section, "ClientSecret");
  const Secret refresh = ReadValue(file, section, "RefreshToken");
  const bool usable = profile->tokenUrl.compare(0, 8, "https://") == 0 &&
                      !profile->clientId.empty() && UnsealValue(secret, &profile->clientSecret) &&
                      UnsealValue(refresh, &profile->refreshToken);
  return usable ? OauthOutcome::Done() : OauthOutcome::Failed(LogLine::kOauthProfileIncomplete);
}

// Searches one file; a file that is missing holds no profile.
OauthOutcome SearchFile(const std::string& file, const char* server, const char* user,
                        OauthProfile* profile, bool* found) {
  OauthOutcome outcome = OauthOutcome::Done();
  if (!PrivateFile(file, LogLine::kOauthProfileNg, &outcome)) return outcome;
  std::vector<char> sections(kSectionsCapacity);
  if (!CurrentPlatform().ReadProfileSections(file.c_str(), sections.data(), sections.size())) {
    return OauthOutcome::Failed(LogLine::kOauthProfileNg);
  }
  for (const char* name = sections.data(); *name != '\0'; name += std::strlen(name) + 1) {
    std::string sectionServer = ReadPlain(file, name, "Server");
    if (!SameText(sectionServer, server)) continue;
    std::string sectionUser = ReadPlain(file, name, "User");
    if (!SameText(sectionUser, user)) continue;
    *found = true;
    profile->server = std::move(sectionServer);
    profile->user = std::move(sectionUser);
    return ReadProfile(file, name, profile);
  }
  return OauthOutcome::Done();
}

}  // namespace

bool PrivateFile(const std::string& path, LogLine unreadableLine, OauthOutcome* outcome) {
  int error = 0;
  switch (CurrentPlatform().CheckPrivacy(path.c_str(), &error)) {
    case FilePrivacy::kMissing:
      *outcome = OauthOutcome::Done();
      return false;
    case FilePrivacy::kOpenToOthers:
      *outcome = OauthOutcome::Failed(LogLine::kOauthFileOpenToOthers);
      return false;
    case FilePrivacy::kUnreadable:
      *outcome = OauthOutcome::Failed(unreadableLine, error);
      return false;
    case FilePrivacy::kPrivate:
      break;
  }
  return true;
}

int OauthProfileFiles(std::string paths[2]) {
  Platform& platform = CurrentPlatform();
  char path[4096];
  if (platform.ReadEnvironment("TARNLET_OAUTH_FILE", path, sizeof path) && path[0] != '\0') {
    paths[0] = path;
    return 1;
  }
  int count = 0;
  for (KnownFolder folder : {KnownFolder::kUserConfig, KnownFolder::kMachineConfig}) {
    if (platform.FindKnownFolder(folder, path, sizeof path)) {
      paths[count++] = std::string(path) + kFileName;
    }
  }
  return count;
}

OauthOutcome FindOauthProfile(const char* server, const char* user, OauthProfile* profile,
                              bool* found) {
  *found = false;
  std::string files[2];
  const int count = OauthProfileFiles(files);
  for (int i = 0; i < count && !*found; ++i) {
    OauthOutcome outcome = SearchFile(files[i], server, user, profile, found);
    if (!outcome.ok) return outcome;
  }
  return OauthOutcome::Done();
}

bool UnsealValue(const Secret& stored, Secret* value) {
  const std::size_t prefix = sizeof kSealed - 1;
  if (stored.compare(0, prefix, kSealed) != 0) {
    value->assign(stored.data(), stored.size());
    return true;
  }
  const Secret text(stored, prefix);
  std::vector<unsigned char> sealed(text.size() / 4 * 3 + 3);
  int sealedLength = 0;
  if (text.empty() || !Base64Codec::Decode(sealed.data(), &sealedLength, text.data(),
                                           static_cast<int>(text.size()))) {
    return false;
  }
  Secret open(static_cast<std::size_t>(sealedLength) + 64, '\0');
  std::size_t openLength = 0;
  if (!CurrentPlatform().UnprotectSecret(reinterpret_cast<const char*>(sealed.data()),
                                         static_cast<std::size_t>(sealedLength), &open[0],
                                         open.size(), &openLength)) {
    return false;
  }
  value->assign(open.data(), openLength);
  return true;
}

bool SealValue(const Secret& value, std::string* stored) {
  std::vector<char> sealed(value.size() + 1024);
  std::size_t sealedLength = 0;
  if (!CurrentPlatform().ProtectSecret(value.data(), value.size(), sealed.data(), sealed.size(),
                                       &sealedLength)) {
    return false;
  }
  std::string text(sealedLength / 3 * 4 + 8, '\0');
  int textLength = 0;
  Base64Codec::Encode(&text[0], &textLength, reinterpret_cast<const unsigned char*>(sealed.data()),
                      static_cast<int>(sealedLength));
  text.resize(static_cast<std::size_t>(textLength));
  *stored = kSealed + text;
  return true;
}

}  // namespace tarnlet
