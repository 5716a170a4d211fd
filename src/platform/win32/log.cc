// Log lines through the C runtime in text mode, which stores every LF as
// CR LF. The file is opened for each line, so the host may move or truncate
// it between lines.
#include <cstdio>

#include "platform/system_platform.h"

namespace tarnlet {

bool SystemPlatform::AppendLogLine(const char* path, const char* line) {
  if (path == nullptr) return false;
  std::FILE* file = std::fopen(path, "a");
  if (file == nullptr) return false;
  // Write and close errors are not reported: the line counts as written.
  std::fprintf(file, "%s\n", line);
  std::fclose(file);
  return true;
}

}  // namespace tarnlet
