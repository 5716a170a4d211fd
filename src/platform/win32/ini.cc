// Settings files through the system's own profile reader.
#include "platform/win32/windows_api.h"

#include "platform/system_platform.h"

namespace tarnlet {

std::size_t SystemPlatform::ReadProfileString(const char* path, const char* section,
                                              const char* key, char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  out[0] = '\0';
  // A null section or key would list names instead of reading one value.
  if (section == nullptr || key == nullptr || path == nullptr) return 0;
  DWORD size = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  return ::GetPrivateProfileStringA(section, key, "", out, size, path);
}

bool SystemPlatform::ReadProfileSections(const char* path, char* out, std::size_t capacity) {
  if (capacity < 2 || capacity > MAXDWORD || path == nullptr) return false;
  out[0] = out[1] = '\0';
  if (::GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD size = static_cast<DWORD>(capacity);
  // capacity - 2 means the list was cut.
  return ::GetPrivateProfileSectionNamesA(out, size, path) < size - 2;
}

}  // namespace tarnlet
