#include "support/process_resources.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>

namespace tarnlet {
namespace testing {

long OpenHandles() {
  DIR* folder = ::opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  long count = 0;
  while (const dirent* entry = ::readdir(folder)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(folder);
  return count - 1;  // the listing's own
}

std::size_t MemoryInUse() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  std::size_t resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace testing
}  // namespace tarnlet
