// Writing a whole buffer to a file descriptor.
#ifndef TARNLET_PLATFORM_POSIX_WRITE_ALL_H_
#define TARNLET_PLATFORM_POSIX_WRITE_ALL_H_

#include <errno.h>
#include <unistd.h>

#include <cstddef>

namespace tarnlet {

// Writes all bytes, going on after signals and partial writes; false when
// a write fails or takes nothing.
inline bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t wrote = ::write(fd, data, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote == 0) errno = EIO;  // no progress: say so, not a stale errno
    if (wrote <= 0) return false;
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_POSIX_WRITE_ALL_H_
