// Attachment files: read-only, from the start, in pieces.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

int Fd(FileHandle file) { return static_cast<int>(file); }

}  // namespace

FileHandle SystemPlatform::OpenForReading(const char* path, int* error) {
  // O_NONBLOCK keeps a FIFO from hanging the open; it is refused below
  // anyway, as are devices (which could be read forever) and directories
  // (which Windows refuses at the open too). Regular files ignore the flag.
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *error = errno;
    return kInvalidFile;
  }
  struct stat status;
  int refusal = 0;
  if (::fstat(fd, &status) != 0) {
    refusal = errno;
  } else if (S_ISDIR(status.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(status.st_mode)) {
    refusal = EINVAL;
  }
  if (refusal != 0) {
    ::close(fd);
    *error = refusal;
    return kInvalidFile;
  }
  return fd;
}

bool SystemPlatform::SeekToStart(FileHandle file) { return ::lseek(Fd(file), 0, SEEK_SET) == 0; }

bool SystemPlatform::ReadChunk(FileHandle file, void* buffer, std::size_t capacity,
                               std::size_t* got) {
  ssize_t n;
  do {
    n = ::read(Fd(file), buffer, capacity);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    *got = 0;
    return false;
  }
  *got = static_cast<std::size_t>(n);
  return true;
}

void SystemPlatform::CloseFile(FileHandle file) { ::close(Fd(file)); }

}  // namespace tarnlet
