// Log lines in the Windows text-mode form: every LF stored as CR LF. The
// file is opened for each line, so the host may move or truncate it between
// lines. Each line goes to the file in one write with O_APPEND, so lines of
// other processes appending to the same file fall between ours, never
// inside them.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/write_all.h"
#include "platform/system_platform.h"
#include "platform/text_mode_line.h"

namespace tarnlet {

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
  WriteTextModeLine(line,
                    [fd](const char* bytes, std::size_t count) { WriteAll(fd, bytes, count); });
  // Write and close errors are not reported: the line counts as written.
  ::close(fd);
  return true;
}

}  // namespace tarnlet
