// The user's own files for OAuth: environment, the XDG folders, the privacy
// of a file holding secrets (as ssh judges a key), the token cache written
// in one step, and its lock across processes (flock).
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/posix/write_all.h"
#include "platform/system_platform.h"

namespace tarnlet {
namespace {

bool CopyText(const char* text, char* out, std::size_t capacity) {
  const std::size_t length = std::strlen(text);
  if (length + 1 > capacity) return false;
  std::memcpy(out, text, length + 1);
  return true;
}

// $name when set and absolute, else $HOME (or the password entry's home)
// followed by fallback; then "/tarnlet/".
bool XdgFolder(const char* name, const char* fallback, char* out, std::size_t capacity) {
  const char* set = std::getenv(name);
  if (set != nullptr && set[0] == '/') {
    const int written = std::snprintf(out, capacity, "%s/tarnlet/", set);
    return written > 0 && static_cast<std::size_t>(written) < capacity;
  }
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr) return false;
  const int written = std::snprintf(out, capacity, "%s%s/tarnlet/", home, fallback);
  return written > 0 && static_cast<std::size_t>(written) < capacity;
}

// Makes every missing folder above path's file, readable by this user only.
bool MakeParents(const char* path, int* error) {
  char folder[4096];
  if (!CopyText(path, folder, sizeof folder)) {
    *error = ENAMETOOLONG;
    return false;
  }
  for (char* slash = std::strchr(folder + 1, '/'); slash != nullptr;
       slash = std::strchr(slash + 1, '/')) {
    *slash = '\0';
    if (::mkdir(folder, 0700) != 0 && errno != EEXIST) {
      *error = errno;
      return false;
    }
    *slash = '/';
  }
  return true;
}

}  // namespace

bool SystemPlatform::ReadEnvironment(const char* name, char* out, std::size_t capacity) {
  const char* value = std::getenv(name);
  return value != nullptr && CopyText(value, out, capacity);
}

bool SystemPlatform::FindKnownFolder(KnownFolder folder, char* out, std::size_t capacity) {
  switch (folder) {
    case KnownFolder::kUserConfig:
      return XdgFolder("XDG_CONFIG_HOME", "/.config", out, capacity);
    case KnownFolder::kMachineConfig:
      return CopyText("/etc/tarnlet/", out, capacity);
    case KnownFolder::kUserState:
      return XdgFolder("XDG_STATE_HOME", "/.local/state", out, capacity);
  }
  return false;
}

// Readable or writable by others, or writable by the group, is refused;
// an administrator's file readable by a group of the service's users is not.
FilePrivacy SystemPlatform::CheckPrivacy(const char* path, int* error) {
  struct stat status;
  if (::stat(path, &status) != 0) {
    *error = errno;
    return errno == ENOENT || errno == ENOTDIR ? FilePrivacy::kMissing : FilePrivacy::kUnreadable;
  }
  if (!S_ISREG(status.st_mode)) {
    *error = EISDIR;
    return FilePrivacy::kUnreadable;
  }
  if ((status.st_mode & (S_IRWXO | S_IWGRP)) != 0) return FilePrivacy::kOpenToOthers;
  if (::access(path, R_OK) != 0) {
    *error = errno;
    return FilePrivacy::kUnreadable;
  }
  return FilePrivacy::kPrivate;
}

bool SystemPlatform::ReplaceFile(const char* path, const char* data, std::size_t size, int* error) {
  if (!MakeParents(path, error)) return false;
  char temporary[4200];
  const int written =
      std::snprintf(temporary, sizeof temporary, "%s.%ld.new", path, static_cast<long>(::getpid()));
  if (written <= 0 || static_cast<std::size_t>(written) >= sizeof temporary) {
    *error = ENAMETOOLONG;
    return false;
  }
  const int fd = ::open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
  if (!ok) *error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    *error = errno;
  }
  if (ok && ::rename(temporary, path) != 0) {
    ok = false;
    *error = errno;
  }
  if (!ok) ::unlink(temporary);
  return ok;
}

bool SystemPlatform::RemoveFile(const char* path, int* error) {
  if (::unlink(path) == 0 || errno == ENOENT) return true;
  *error = errno;
  return false;
}

LockHandle SystemPlatform::TryLockFile(const char* path, bool* busy, int* error) {
  *busy = false;
  if (!MakeParents(path, error)) return nullptr;
  const int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *busy = errno == EWOULDBLOCK;
    *error = errno;
    ::close(fd);
    return nullptr;
  }
  int* handle = new (std::nothrow) int(fd);
  if (handle == nullptr) {
    *error = ENOMEM;
    ::close(fd);
  }
  return handle;
}

void SystemPlatform::UnlockFile(LockHandle lock) {
  if (lock == nullptr) return;
  int* fd = static_cast<int*>(lock);
  ::close(*fd);  // drops the flock
  delete fd;
}

}  // namespace tarnlet
