// tarnlet oauth add|login|list|test|remove: the profiles beside the host
// that let its calls log in with OAuth 2.0.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "commands.h"
#include "frame/mail_sender.h"
#include "log_watch.h"
#include "mail/oauth_access_token.h"
#include "mail/oauth_profile.h"
#include "mail/oauth_token_cache.h"
#include "oauth_login.h"
#include "oauth_profiles.h"
#include "platform/platform.h"
#include "record_fields.h"
#include "result_codes.h"
#include "tool_error.h"
#include "trace_platform.h"

namespace tarnlet {
namespace tool {
namespace {

std::string ReadValue(const std::string& file, const std::string& section, const char* key) {
  std::vector<char> value(16384);
  CurrentPlatform().ReadProfileString(file.c_str(), section.c_str(), key, value.data(),
                                      value.size());
  return value.data();
}

std::vector<std::string> Sections(const std::string& file) {
  std::vector<char> names(65536);
  std::vector<std::string> out;
  if (!CurrentPlatform().ReadProfileSections(file.c_str(), names.data(), names.size())) return out;
  for (const char* name = names.data(); *name != '\0'; name += std::strlen(name) + 1) {
    out.emplace_back(name);
  }
  return out;
}

// A secret from a file or standard input ("-"); one line end at its end is
// not part of it.
std::string ReadSecret(const std::string& source, std::istream& in) {
  std::string secret;
  if (source == "-") {
    secret.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    std::ifstream file(source, std::ios::binary);
    if (!file) throw ToolError(kExitNoInput, "--client-secret-file: cannot read " + source);
    secret.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  if (!secret.empty() && secret.back() == '\n') secret.pop_back();
  if (!secret.empty() && secret.back() == '\r') secret.pop_back();
  return secret;
}

// The profile's values from the options, a preset filling what they leave.
ProfileValues ValuesOf(const OauthRequest& r, const std::string& scope, const std::string& secret) {
  const ProviderPreset* preset = FindPreset(r.provider);
  std::string server = r.server;
  std::string tokenUrl = r.tokenUrl;
  if (preset != nullptr) {
    if (server.empty()) server = preset->server;
    if (tokenUrl.empty()) tokenUrl = WithTenant(preset->tokenUrl, r.tenant);
  }
  if (server.empty() || r.user.empty() || tokenUrl.empty() || r.clientId.empty()) {
    throw ToolError(kExitUsage,
                    "oauth " + r.verb +
                        " needs --user, --client-id, and --server and --token-url "
                        "(or --provider microsoft365 --tenant ID, or --provider google)");
  }
  if (tokenUrl.compare(0, 8, "https://") != 0) {
    throw ToolError(kExitUsage, "--token-url must be an https:// address");
  }
  ProfileValues values = {{"Server", server},
                          {"User", r.user},
                          {"TokenUrl", tokenUrl},
                          {"ClientId", r.clientId},
                          {"Scope", scope}};
  if (!secret.empty()) values.emplace_back("ClientSecret", secret);
  return values;
}

void CheckPreset(const OauthRequest& r) {
  // --provider takes only a known name (the option's own check).
  const ProviderPreset* preset = FindPreset(r.provider);
  if (preset != nullptr && std::strchr(preset->tokenUrl, '{') != nullptr && r.tenant.empty() &&
      r.tokenUrl.empty()) {
    throw ToolError(kExitUsage, "--provider " + r.provider + " needs --tenant ID");
  }
}

// A new secret or refresh token supersedes whatever this user cached.
void ForgetCache(const std::string& file, const std::string& name) {
  OauthProfile profile;
  profile.file = file;
  profile.name = name;
  ForgetCachedToken(profile);
}

int Add(const OauthRequest& r, std::istream& in, std::ostream& out) {
  CheckPreset(r);
  if (r.secretFile.empty()) {
    throw ToolError(kExitUsage, "oauth add needs --client-secret-file FILE (- for standard input)");
  }
  const ProviderPreset* preset = FindPreset(r.provider);
  const std::string scope = !r.scope.empty() ? r.scope : preset != nullptr ? preset->appScope : "";
  const std::string file = ProfileFileFor(r.file);
  const ProfileValues values = ValuesOf(r, scope, ReadSecret(r.secretFile, in));
  WriteProfile(file, r.name, &values);
  ForgetCache(file, r.name);
  out << "profile \"" << r.name << "\" written to " << file << " (client credentials)\n";
  return 0;
}

int Login(const OauthRequest& r, std::istream& in, std::ostream& out) {
  CheckPreset(r);
  const ProviderPreset* preset = FindPreset(r.provider);
  SignIn signIn;
  signIn.clientId = r.clientId;
  signIn.clientSecret = r.secretFile.empty() ? "" : ReadSecret(r.secretFile, in);
  signIn.scope = !r.scope.empty() ? r.scope : preset != nullptr ? preset->userScope : "";
  signIn.deviceUrl = !r.deviceUrl.empty() ? r.deviceUrl
                     : preset != nullptr  ? WithTenant(preset->deviceUrl, r.tenant)
                                          : "";
  signIn.authorizeUrl = !r.authorizeUrl.empty() ? r.authorizeUrl
                        : preset != nullptr     ? preset->authorizeUrl
                                                : "";
  ProfileValues values = ValuesOf(r, signIn.scope, signIn.clientSecret);
  for (const auto& value : values) {
    if (value.first == "TokenUrl") signIn.tokenUrl = value.second;
  }
  if (signIn.deviceUrl.empty() == signIn.authorizeUrl.empty()) {
    throw ToolError(kExitUsage,
                    "oauth login needs --provider, or --device-url or --authorize-url (one)");
  }
  const std::string refresh = !signIn.deviceUrl.empty() ? SignInWithDeviceCode(signIn, out)
                                                        : SignInWithBrowser(signIn, out);
  values.emplace_back("RefreshToken", refresh);
  const std::string file = ProfileFileFor(r.file);
  WriteProfile(file, r.name, &values);
  ForgetCache(file, r.name);
  out << "signed in: profile \"" << r.name << "\" written to " << file << "\n";
  return 0;
}

void ListFile(const std::string& file, std::ostream& out) {
  int error = 0;
  switch (CurrentPlatform().CheckPrivacy(file.c_str(), &error)) {
    case FilePrivacy::kMissing:
      out << file << ": no such file\n";
      return;
    case FilePrivacy::kOpenToOthers:
      out << file << ": refused: other users can read it (chmod 600 " << file << ")\n";
      return;
    case FilePrivacy::kUnreadable:
      out << file << ": cannot be read (system error " << error << ")\n";
      return;
    case FilePrivacy::kPrivate:
      break;
  }
  out << file << ":\n";
  for (const std::string& name : Sections(file)) {
    const std::string secret = ReadValue(file, name, "ClientSecret");
    const bool refresh = !ReadValue(file, name, "RefreshToken").empty();
    OauthProfile profile;
    profile.file = file;
    profile.name = name;
    const std::string cache = TokenCachePath(profile, ".ini");
    out << "  [" << name << "] " << ReadValue(file, name, "User") << " at "
        << ReadValue(file, name, "Server") << ", "
        << (refresh ? "refresh token" : "client credentials") << ", "
        << ReadValue(file, name, "TokenUrl") << ", secret "
        << (secret.empty()                        ? "none"
            : secret.compare(0, 6, "dpapi:") == 0 ? "sealed"
                                                  : "set")
        << (!cache.empty() && std::ifstream(cache) ? ", cached refresh token " + cache : "")
        << "\n";
  }
}

int List(std::ostream& out) {
  std::string files[2];
  const int count = OauthProfileFiles(files);
  if (count == 0) out << "no profile files: this system names no folder for them\n";
  for (int i = 0; i < count; ++i) ListFile(files[i], out);
  return 0;
}

// The profile named in the files a call searches.
bool FindNamed(const std::string& name, std::string* file) {
  std::string files[2];
  const int count = OauthProfileFiles(files);
  for (int i = 0; i < count; ++i) {
    for (const std::string& section : Sections(files[i])) {
      if (SameName(section, name)) {
        *file = files[i];
        return true;
      }
    }
  }
  return false;
}

int Test(const OauthRequest& r, std::ostream& out, std::ostream& err, const Console& console) {
  std::string file;
  if (!FindNamed(r.name, &file)) {
    throw ToolError(kExitUsage, "no profile \"" + r.name + "\" (see tarnlet oauth list)");
  }
  const std::string server = ReadValue(file, r.name, "Server");
  const std::string user = ReadValue(file, r.name, "User");
  MailSettings settings = {};
  settings.Startup = 1;
  settings.Kind = 1;
  settings.SMTPPortNo = static_cast<std::uint16_t>(r.port);
  LogWatch log("");
  PutText(&settings, Field::kSMTPServerAddress, server, "Server");
  PutText(&settings, Field::kPOP3ServerAddress, server, "Server");
  PutText(&settings, Field::kUserName, user, "User");
  PutText(&settings, Field::kMyMailAddress, user, "User");
  PutText(&settings, Field::kMyHostFQDNName, "localhost", "host name");
  PutText(&settings, Field::kLog, log.path(), "log");
  WatchOptions watch;
  watch.trace = r.trace;
  watch.progress = console.errorIsTerminal;
  watch.columns = console.columns;
  TracePlatform platform(watch, err);
  // A login without a message is no export's: the library's own check runs.
  const std::int32_t code =
      platform.Run([&] { return MailSender().CheckLoginFromRecord(&settings); });
  if (code == 0) {
    const TokenNote note = LastTokenNote();
    out << "logged in to " << server << " port " << r.port << " as " << user
        << " with a token from profile \"" << note.profile << "\" (expires in " << note.expiresIn
        << " s); no message was sent\n";
    return 0;
  }
  err << "tarnlet: result " << code << ": " << MeaningOf(code) << "\nlog lines of this call:\n";
  for (const std::string& line : log.NewLines()) err << "  " << line << "\n";
  return code < 0 ? -code : 1;
}

int Remove(const OauthRequest& r, std::ostream& out) {
  const std::string file = ProfileFileFor(r.file);
  WriteProfile(file, r.name, nullptr);
  ForgetCache(file, r.name);
  out << "profile \"" << r.name << "\" removed from " << file << "\n";
  return 0;
}

}  // namespace

int RunOauth(const OauthRequest& request, std::istream& in, std::ostream& out, std::ostream& err,
             const Console& console) {
  ForgetKeptTokens();
  if (request.verb == "add") return Add(request, in, out);
  if (request.verb == "login") return Login(request, in, out);
  if (request.verb == "list") return List(out);
  if (request.verb == "test") return Test(request, out, err, console);
  return Remove(request, out);
}

bool HasOauthProfile(const std::string& server, const std::string& user) {
  OauthProfile profile;
  bool found = false;
  return FindOauthProfile(server.c_str(), user.c_str(), &profile, &found).ok && found;
}

}  // namespace tool
}  // namespace tarnlet
