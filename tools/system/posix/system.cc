// Process, environment and file services of the tarnlet command.
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

std::vector<std::string> ProcessArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

bool ReadEnvironment(const char* name, std::string* value) {
  const char* found = getenv(name);
  if (found == nullptr) return false;
  *value = found;
  return true;
}

// POSIX reads make no line-end translation.
void SetStdinBinary() {}

// File names are plain bytes here; the library opens them as given.
bool LibraryPathFromArgument(const std::string& argument, std::string* path) {
  *path = argument;
  return true;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::vector<char> folder(PATH_MAX + 1);
  if (getcwd(folder.data(), folder.size()) == nullptr) return path;
  std::string absolute = folder.data();
  if (absolute.empty() || absolute.back() != '/') absolute += '/';
  return absolute + path;
}

std::string CreateTempFile(const std::string& prefix) {
  const char* folder = getenv("TMPDIR");
  std::string pattern = (folder != nullptr && folder[0] != '\0') ? folder : "/tmp";
  pattern += "/" + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return "";
  close(fd);
  return name.data();
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

std::string CreateStagingFolder() {
  const char* folder = getenv("TMPDIR");
  std::string base = (folder != nullptr && folder[0] != '\0') ? folder : "/tmp";
  if (base.find('.') != std::string::npos) base = "/tmp";
  std::string pattern = base + "/tarnlet-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return "";
  return name.data();
}

bool LinkFile(const std::string& target, const std::string& link) {
  return symlink(AbsolutePath(target).c_str(), link.c_str()) == 0;
}

void RemoveFolder(const std::string& path) { rmdir(path.c_str()); }

}  // namespace tool
}  // namespace tarnlet
