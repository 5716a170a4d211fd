// Attachment files: opened read-only without sharing, so a file that
// another program holds open is refused; read from the start in pieces.
#include "platform/win32/windows_api.h"

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

FileHandle SystemPlatform::OpenForReading(const char* path, int* error) {
  HANDLE file =
      ::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(::GetLastError());
    return kInvalidFile;
  }
  return reinterpret_cast<FileHandle>(file);
}

bool SystemPlatform::SeekToStart(FileHandle file) {
  return ::SetFilePointer(AsHandle(file), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool SystemPlatform::ReadChunk(FileHandle file, void* buffer, std::size_t capacity,
                               std::size_t* got) {
  DWORD asked = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  DWORD read = 0;
  BOOL ok = ::ReadFile(AsHandle(file), buffer, asked, &read, nullptr);
  *got = ok ? read : 0;
  return ok != FALSE;
}

void SystemPlatform::CloseFile(FileHandle file) { ::CloseHandle(AsHandle(file)); }

}  // namespace tarnlet
