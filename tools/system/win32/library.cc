// Which mail library the tarnlet command runs with: the loaded tarnlet.dll
// and the file version of its version resource.
#include "platform/win32/windows_api.h"

#include <winver.h>

#include <string>
#include <vector>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {
namespace {

std::string Utf8Of(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::vector<char> bytes(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  return bytes.data();
}

std::string FileVersion(const wchar_t* file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file, &ignored);
  if (size == 0) return "";
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(file, 0, size, data.data())) return "";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr || length < sizeof *fixed) {
    return "";
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS));
}

}  // namespace

bool LoadedLibrary(std::string* path, std::string* version) {
  HMODULE module = GetModuleHandleW(L"tarnlet.dll");
  if (module == nullptr) return false;
  std::vector<wchar_t> file(32768);
  DWORD got = GetModuleFileNameW(module, file.data(), static_cast<DWORD>(file.size()));
  if (got == 0 || got >= file.size()) return false;
  *path = Utf8Of(file.data());
  *version = FileVersion(file.data());
  return true;
}

}  // namespace tool
}  // namespace tarnlet
