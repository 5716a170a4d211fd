// Secrets sealed for this user with DPAPI (CRYPT32): what only the same
// user on the same machine can open again.
#include "platform/win32/windows_api.h"

#include <dpapi.h>
#include <wincrypt.h>

#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

bool Transform(bool protect, const char* data, std::size_t size, char* out, std::size_t capacity,
               std::size_t* sizeOut) {
  if (size > MAXDWORD) return false;
  DATA_BLOB in{static_cast<DWORD>(size), reinterpret_cast<BYTE*>(const_cast<char*>(data))};
  DATA_BLOB result{0, nullptr};
  const BOOL done = protect ? ::CryptProtectData(&in, L"Tarnlet", nullptr, nullptr, nullptr,
                                                 CRYPTPROTECT_UI_FORBIDDEN, &result)
                            : ::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr,
                                                   CRYPTPROTECT_UI_FORBIDDEN, &result);
  if (!done) return false;
  const bool fits = result.cbData <= capacity;
  if (fits) {
    std::memcpy(out, result.pbData, result.cbData);
    *sizeOut = result.cbData;
  }
  ::SecureZeroMemory(result.pbData, result.cbData);
  ::LocalFree(result.pbData);
  return fits;
}

}  // namespace

bool SystemPlatform::ProtectSecret(const char* data, std::size_t size, char* out,
                                   std::size_t capacity, std::size_t* sizeOut) {
  return Transform(true, data, size, out, capacity, sizeOut);
}

bool SystemPlatform::UnprotectSecret(const char* data, std::size_t size, char* out,
                                     std::size_t capacity, std::size_t* sizeOut) {
  return Transform(false, data, size, out, capacity, sizeOut);
}

}  // namespace tarnlet
