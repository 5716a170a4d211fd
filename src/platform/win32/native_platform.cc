#include "platform/win32/win32_platform.h"

namespace tarnlet {

// Built on first use, so loading the DLL runs no constructor of ours.
Platform& NativePlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace tarnlet
