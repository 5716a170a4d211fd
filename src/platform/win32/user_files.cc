// The user's own files for OAuth: environment, the known folders by their
// variables, the token cache replaced in one step, and its lock across
// processes (LockFileEx). The user's profile folders are the user's own,
// so a file in them counts as private; the cache is sealed with DPAPI.
#include "platform/win32/windows_api.h"

#include <cstring>
#include <new>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

bool MakeParents(const char* path, int* error) {
  char folder[MAX_PATH * 4];
  const std::size_t length = std::strlen(path);
  if (length + 1 > sizeof folder) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  std::memcpy(folder, path, length + 1);
  for (char* at = folder + 1; *at != '\0'; ++at) {
    if (*at != '\\' && *at != '/') continue;
    if (at[-1] == ':') continue;  // "C:\"
    const char kept = *at;
    *at = '\0';
    if (!::CreateDirectoryA(folder, nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      *error = static_cast<int>(::GetLastError());
      return false;
    }
    *at = kept;
  }
  return true;
}

}  // namespace

bool SystemPlatform::ReadEnvironment(const char* name, char* out, std::size_t capacity) {
  if (capacity == 0 || capacity > MAXDWORD) return false;
  const DWORD got = ::GetEnvironmentVariableA(name, out, static_cast<DWORD>(capacity));
  return got > 0 && got < capacity;
}

bool SystemPlatform::FindKnownFolder(KnownFolder folder, char* out, std::size_t capacity) {
  const char* variable = folder == KnownFolder::kUserConfig      ? "APPDATA"
                         : folder == KnownFolder::kMachineConfig ? "ProgramData"
                                                                 : "LOCALAPPDATA";
  constexpr char kOwn[] = "\\Tarnlet\\";
  if (capacity < sizeof kOwn || !ReadEnvironment(variable, out, capacity - sizeof kOwn + 1)) {
    return false;
  }
  std::strcat(out, kOwn);
  return true;
}

FilePrivacy SystemPlatform::CheckPrivacy(const char* path, int* error) {
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    *error = static_cast<int>(code);
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? FilePrivacy::kMissing
                                                                        : FilePrivacy::kUnreadable;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = ERROR_ACCESS_DENIED;
    return FilePrivacy::kUnreadable;
  }
  return FilePrivacy::kPrivate;
}

bool SystemPlatform::ReplaceFile(const char* path, const char* data, std::size_t size, int* error) {
  if (size > MAXDWORD || !MakeParents(path, error)) return false;
  char temporary[MAX_PATH * 4 + 32];
  const std::size_t length = std::strlen(path);
  if (length + 5 > sizeof temporary) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  std::memcpy(temporary, path, length);
  std::memcpy(temporary + length, ".new", 5);
  HANDLE file = ::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(::GetLastError());
    return false;
  }
  DWORD wrote = 0;
  bool ok = ::WriteFile(file, data, static_cast<DWORD>(size), &wrote, nullptr) && wrote == size &&
            ::FlushFileBuffers(file);
  if (!ok) *error = static_cast<int>(::GetLastError());
  ::CloseHandle(file);
  if (ok && !::MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    *error = static_cast<int>(::GetLastError());
  }
  if (!ok) ::DeleteFileA(temporary);
  return ok;
}

bool SystemPlatform::RemoveFile(const char* path, int* error) {
  if (::DeleteFileA(path)) return true;
  const DWORD code = ::GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
  *error = static_cast<int>(code);
  return false;
}

LockHandle SystemPlatform::TryLockFile(const char* path, bool* busy, int* error) {
  *busy = false;
  if (!MakeParents(path, error)) return nullptr;
  HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(::GetLastError());
    return nullptr;
  }
  OVERLAPPED whole;
  std::memset(&whole, 0, sizeof whole);
  if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    const DWORD code = ::GetLastError();
    *busy = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING;
    *error = static_cast<int>(code);
    ::CloseHandle(file);
    return nullptr;
  }
  return file;
}

void SystemPlatform::UnlockFile(LockHandle lock) {
  if (lock == nullptr) return;
  HANDLE file = static_cast<HANDLE>(lock);
  OVERLAPPED whole;
  std::memset(&whole, 0, sizeof whole);
  ::UnlockFileEx(file, 0, 1, 0, &whole);
  ::CloseHandle(file);
}

}  // namespace tarnlet
