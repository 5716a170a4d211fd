// Whether the command's standard streams are consoles, and how wide. A
// redirection from NUL is a character device too, but no console: it
// counts as input that is not a terminal.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

bool IsTerminal(StandardStream stream) {
  HANDLE handle =
      GetStdHandle(stream == StandardStream::kInput ? STD_INPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

std::size_t TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
  int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? static_cast<std::size_t>(columns) : 80;
}

}  // namespace tool
}  // namespace tarnlet
