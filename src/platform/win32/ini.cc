// Settings files through the system's own profile reader.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace tarnlet {

std::size_t Win32Platform::ReadProfileString(const char* path, const char* section, const char* key,
                                             char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  out[0] = '\0';
  // A null section or key would list names instead of reading one value.
  if (section == nullptr || key == nullptr || path == nullptr) return 0;
  DWORD size = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  return ::GetPrivateProfileStringA(section, key, "", out, size, path);
}

}  // namespace tarnlet
