// Which mail library the tarnlet command runs with: the loaded
// libtarnlet.so, followed through its soname link to libtarnlet.so.X.Y.Z.
#include <limits.h>
#include <link.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {
namespace {

const char kLibraryName[] = "libtarnlet.so";

std::string BaseName(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int FindLibrary(struct dl_phdr_info* info, size_t, void* data) {
  if (info->dlpi_name == nullptr) return 0;
  std::string name = BaseName(info->dlpi_name);
  if (name.compare(0, std::strlen(kLibraryName), kLibraryName) != 0) return 0;
  *static_cast<std::string*>(data) = info->dlpi_name;
  return 1;
}

}  // namespace

bool LoadedLibrary(std::string* path, std::string* version) {
  std::string loaded;
  if (dl_iterate_phdr(FindLibrary, &loaded) == 0) return false;
  char resolved[PATH_MAX];
  *path = realpath(loaded.c_str(), resolved) != nullptr ? std::string(resolved) : loaded;
  std::string name = BaseName(*path);
  std::string::size_type prefix = std::strlen(kLibraryName) + 1;  // "libtarnlet.so."
  *version = name.size() > prefix ? name.substr(prefix) : "";
  return true;
}

}  // namespace tool
}  // namespace tarnlet
