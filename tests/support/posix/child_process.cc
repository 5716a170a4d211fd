#include "support/child_process.h"

#include <errno.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace tarnlet {
namespace testchild {

int RunThisProgram(const std::vector<std::string>& arguments, const std::string& name,
                   const std::string& value) {
  char self[PATH_MAX + 1];
  ssize_t length = ::readlink("/proc/self/exe", self, PATH_MAX);
  if (length <= 0) return -1;
  self[length] = '\0';
  std::string setting = name + "=" + value;
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
  environment.push_back(&setting[0]);
  environment.push_back(nullptr);
  std::vector<std::string> copies(arguments);
  std::vector<char*> argv{self};
  for (std::string& argument : copies) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  pid_t child;
  if (::posix_spawn(&child, self, nullptr, nullptr, argv.data(), environment.data()) != 0) {
    return -1;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testchild
}  // namespace tarnlet
