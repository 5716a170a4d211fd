#include "platform/system_platform.h"

namespace tarnlet {

// Built on first use, so loading the library runs no constructor of ours.
Platform& NativePlatform() {
  static SystemPlatform platform;
  return platform;
}

}  // namespace tarnlet
