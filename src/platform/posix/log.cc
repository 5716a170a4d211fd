// Log lines in the Windows text-mode form: every LF stored as CR LF. The
// file is opened for each line, so the host may move or truncate it between
// lines, and O_APPEND keeps lines of other processes whole.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

// Writes all bytes, going on after signals and partial writes.
bool WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t wrote = ::write(fd, data, length);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += wrote;
    length -= static_cast<std::size_t>(wrote);
  }
  return true;
}

// Collects the converted bytes so that a line of ordinary length reaches
// the file in one write.
class TextModeWriter {
 public:
  explicit TextModeWriter(int fd) : fd_(fd) {}

  void Put(char c) {
    if (c == '\n') Push('\r');
    Push(c);
  }
  void Flush() {
    if (used_ > 0) WriteAll(fd_, buffer_, used_);
    used_ = 0;
  }

 private:
  void Push(char c) {
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = c;
  }

  int fd_;
  std::size_t used_ = 0;
  char buffer_[2048];
};

}  // namespace

bool SystemPlatform::AppendLogLine(const char* path, const char* line) {
  if (path == nullptr || path[0] == '\0') return false;
  // O_NONBLOCK: a FIFO without a reader fails the open at once instead of
  // holding the call (and the call lock) for ever. Only a regular file is
  // written, so a FIFO with a reader or a device cannot block a write
  // either; regular files ignore the flag.
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return false;
  }
  TextModeWriter writer(fd);
  for (const char* p = line; *p != '\0'; ++p) writer.Put(*p);
  writer.Put('\n');
  writer.Flush();
  // Write and close errors are not reported: the line counts as written.
  ::close(fd);
  return true;
}

}  // namespace tarnlet
