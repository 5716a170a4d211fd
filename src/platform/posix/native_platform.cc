#include "platform/posix/posix_platform.h"

namespace tarnlet {

// Built on first use, so loading the library runs no constructor of ours.
Platform& NativePlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace tarnlet
