// Attachment files: opened read-only without sharing, so a file that
// another program holds open is refused; read from the start in pieces.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace tarnlet {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

FileHandle Win32Platform::OpenForReading(const char* path, int* error) {
  HANDLE file =
      ::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(::GetLastError());
    return kInvalidFile;
  }
  return reinterpret_cast<FileHandle>(file);
}

bool Win32Platform::SeekToStart(FileHandle file) {
  return ::SetFilePointer(AsHandle(file), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool Win32Platform::ReadChunk(FileHandle file, void* buffer, std::size_t capacity,
                              std::size_t* got) {
  DWORD asked = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  DWORD read = 0;
  BOOL ok = ::ReadFile(AsHandle(file), buffer, asked, &read, nullptr);
  *got = ok ? read : 0;
  return ok != FALSE;
}

void Win32Platform::CloseFile(FileHandle file) { ::CloseHandle(AsHandle(file)); }

}  // namespace tarnlet
