// Linux has no per-user sealing of secrets the library could rely on: the
// token cache is kept private by its permissions instead (0600 in a 0700
// folder), and a profile's "dpapi:" value cannot be read here.
#include "platform/system_platform.h"

namespace tarnlet {

bool SystemPlatform::ProtectSecret(const char*, std::size_t, char*, std::size_t, std::size_t*) {
  return false;
}

bool SystemPlatform::UnprotectSecret(const char*, std::size_t, char*, std::size_t, std::size_t*) {
  return false;
}

}  // namespace tarnlet
