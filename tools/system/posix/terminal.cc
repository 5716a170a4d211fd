// Whether the command's standard streams are terminals, and how wide.
#include <sys/ioctl.h>
#include <unistd.h>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

bool IsTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::kInput ? STDIN_FILENO : STDERR_FILENO) == 1;
}

std::size_t TerminalColumns() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

}  // namespace tool
}  // namespace tarnlet
