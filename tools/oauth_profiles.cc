#include "oauth_profiles.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "mail/oauth_profile.h"
#include "net/ascii_case.h"
#include "platform/platform.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
}

}  // namespace

// INI section names compare without case, as the readers take them.
bool SameName(const std::string& a, const std::string& b) {
  return SameAsciiText(a.data(), a.size(), b.c_str());
}

namespace {

// The section a header line opens; "" when the line is no header.
bool HeaderName(const std::string& line, std::string* name) {
  const std::string text = Trimmed(line);
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return false;
  *name = Trimmed(text.substr(1, text.size() - 2));
  return true;
}

bool IsSecretKey(const std::string& key) { return key == "ClientSecret" || key == "RefreshToken"; }

}  // namespace

const ProviderPreset kProviderPresets[2] = {
    {"microsoft365", "smtp.office365.com",
     "https://login.microsoftonline.com/{tenant}/oauth2/v2.0/token",
     "https://login.microsoftonline.com/{tenant}/oauth2/v2.0/devicecode", "",
     "https://outlook.office365.com/.default",
     "https://outlook.office365.com/SMTP.Send offline_access"},
    {"google", "smtp.gmail.com", "https://oauth2.googleapis.com/token", "",
     "https://accounts.google.com/o/oauth2/v2/auth", "https://mail.google.com/",
     "https://mail.google.com/"},
};

const ProviderPreset* FindPreset(const std::string& name) {
  for (const ProviderPreset& preset : kProviderPresets) {
    if (name == preset.name) return &preset;
  }
  return nullptr;
}

std::string WithTenant(const std::string& url, const std::string& tenant) {
  std::string out = url;
  const std::size_t at = out.find("{tenant}");
  if (at != std::string::npos) out.replace(at, 8, tenant);
  return out;
}

std::string WithSection(const std::string& text, const std::string& name,
                        const ProfileValues* values) {
  std::istringstream lines(text);
  std::string line;
  std::string out;
  bool skipping = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string header;
    if (HeaderName(line, &header)) skipping = SameName(header, name);
    if (!skipping) out += line + "\r\n";
  }
  if (values == nullptr) return out;
  if (!out.empty() && (out.size() < 4 || out.compare(out.size() - 4, 4, "\r\n\r\n") != 0)) {
    out += "\r\n";
  }
  out += "[" + name + "]\r\n";
  for (const auto& value : *values) out += value.first + "=" + value.second + "\r\n";
  return out;
}

void WriteProfile(const std::string& path, const std::string& name, const ProfileValues* values) {
  std::string text;
  {
    std::ifstream file(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  ProfileValues stored;
  if (values != nullptr) {
    for (const auto& value : *values) {
      std::string sealed;
      if (IsSecretKey(value.first) && SealValue(Secret(value.second.c_str()), &sealed)) {
        stored.emplace_back(value.first, sealed);
      } else {
        stored.push_back(value);
      }
    }
  }
  const std::string updated = WithSection(text, name, values != nullptr ? &stored : nullptr);
  int error = 0;
  if (!CurrentPlatform().ReplaceFile(path.c_str(), updated.data(), updated.size(), &error)) {
    throw ToolError(kExitSystem,
                    "cannot write " + path + " (system error " + std::to_string(error) + ")");
  }
}

std::string ProfileFileFor(const std::string& file) {
  if (!file.empty()) return file;
  std::string paths[2];
  if (OauthProfileFiles(paths) == 0) {
    throw ToolError(kExitUsage, "no folder for profiles: give --file FILE");
  }
  return paths[0];
}

}  // namespace tool
}  // namespace tarnlet
