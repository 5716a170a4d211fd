#include "mail/oauth_token_cache.h"

#include <cstring>

#include "codec/md5.h"

namespace tarnlet {
namespace {

constexpr char kSection[] = "Token";
constexpr unsigned kLockStepMilliseconds = 100;
constexpr int kLockSteps = 900;
constexpr std::size_t kValueCapacity = 16384;

// The file and section name the profile by a digest: any section name
// makes a file name.
std::string Digest(const OauthProfile& profile) {
  const std::string key = profile.file + "\n" + profile.name;
  Md5Digest md5;
  Md5Context context;
  md5.Init(&context);
  md5.Update(&context, reinterpret_cast<const unsigned char*>(key.data()),
             static_cast<std::uint32_t>(key.size()));
  unsigned char digest[16];
  md5.Final(digest, &context);
  char hex[33];
  DigestToHex(digest, hex);
  return hex;
}

}  // namespace

std::string TokenCachePath(const OauthProfile& profile, const char* suffix) {
  char folder[4096];
  if (!CurrentPlatform().FindKnownFolder(KnownFolder::kUserState, folder, sizeof folder)) {
    return "";
  }
  return std::string(folder) + "token-" + Digest(profile) + suffix;
}

TokenCacheLock::~TokenCacheLock() {
  if (lock_ != nullptr) CurrentPlatform().UnlockFile(lock_);
}

OauthOutcome TokenCacheLock::Take(const OauthProfile& profile) {
  const std::string path = TokenCachePath(profile, ".lock");
  if (path.empty()) return OauthOutcome::Failed(LogLine::kOauthCacheNg);
  Platform& platform = CurrentPlatform();
  for (int step = 0;; ++step) {
    bool busy = false;
    int error = 0;
    lock_ = platform.TryLockFile(path.c_str(), &busy, &error);
    if (lock_ != nullptr) return OauthOutcome::Done();
    if (!busy || step == kLockSteps) return OauthOutcome::Failed(LogLine::kOauthCacheNg, error);
    platform.SleepMilliseconds(kLockStepMilliseconds);
  }
}

OauthOutcome ReadCachedRefreshToken(const OauthProfile& profile, Secret* token, bool* found) {
  *found = false;
  const std::string path = TokenCachePath(profile, ".ini");
  if (path.empty()) return OauthOutcome::Done();
  OauthOutcome outcome = OauthOutcome::Done();
  if (!PrivateFile(path, LogLine::kOauthCacheNg, &outcome)) return outcome;
  Secret stored(kValueCapacity, '\0');
  const std::size_t length = CurrentPlatform().ReadProfileString(
      path.c_str(), kSection, "RefreshToken", &stored[0], stored.size());
  stored.resize(length);
  if (length == 0) return OauthOutcome::Done();
  if (!UnsealValue(stored, token)) return OauthOutcome::Failed(LogLine::kOauthCacheNg);
  *found = true;
  return OauthOutcome::Done();
}

OauthOutcome StoreRefreshToken(const OauthProfile& profile, const Secret& token) {
  const std::string path = TokenCachePath(profile, ".ini");
  if (path.empty()) return OauthOutcome::Failed(LogLine::kOauthCacheNg);
  std::string sealed;
  Secret text = "[Token]\r\nProfile=";
  text += profile.name.c_str();
  text += "\r\nRefreshToken=";
  if (SealValue(token, &sealed)) {
    text += sealed.c_str();
  } else {
    text += token;
  }
  text += "\r\n";
  int error = 0;
  if (!CurrentPlatform().ReplaceFile(path.c_str(), text.data(), text.size(), &error)) {
    return OauthOutcome::Failed(LogLine::kOauthCacheNg, error);
  }
  return OauthOutcome::Done();
}

bool ForgetCachedToken(const OauthProfile& profile) {
  const std::string path = TokenCachePath(profile, ".ini");
  int error = 0;
  return path.empty() || CurrentPlatform().RemoveFile(path.c_str(), &error);
}

}  // namespace tarnlet
