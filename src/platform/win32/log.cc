// Log lines through the C runtime in text mode, which stores every LF as
// CR LF. The file is opened for each line, so the host may move or truncate
// it between lines.
#include <io.h>

#include <cstdio>

#include "platform/win32/windows_api.h"

#include "platform/system_platform.h"

namespace tarnlet {

bool SystemPlatform::AppendLogLine(const char* path, const char* line) {
  if (path == nullptr) return false;
  std::FILE* file = std::fopen(path, "a");
  if (file == nullptr) return false;
  // Only a file on disk is written: a pipe nobody reads or a device (COM1,
  // CON) could hold the call, and the call lock, for ever. NUL is a
  // character device too, and a line dropped there is not missed.
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(file);
    return false;
  }
  // Write and close errors are not reported: the line counts as written.
  std::fprintf(file, "%s\n", line);
  std::fclose(file);
  return true;
}

}  // namespace tarnlet
