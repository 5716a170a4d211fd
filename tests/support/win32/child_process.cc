#include "support/child_process.h"

#include "platform/win32/windows_api.h"

#include <vector>

namespace tarnlet {
namespace testchild {

int RunThisProgram(const std::vector<std::string>& arguments, const std::string& name,
                   const std::string& value) {
  char self[MAX_PATH + 1];
  DWORD length = ::GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self) return -1;
  std::string commandLine = "\"" + std::string(self, length) + "\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  // The parent's environment block with name=value added at its end.
  std::vector<char> environment;
  if (char* block = ::GetEnvironmentStringsA()) {
    const char* end = block;
    while (*end != '\0') end += std::string(end).size() + 1;
    environment.assign(static_cast<const char*>(block), end);
    ::FreeEnvironmentStringsA(block);
  }
  std::string setting = name + "=" + value;
  environment.insert(environment.end(), setting.begin(), setting.end());
  environment.push_back('\0');
  environment.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(self, &commandLine[0], nullptr, nullptr, FALSE, 0, environment.data(),
                        nullptr, &startup, &process)) {
    return -1;
  }
  ::CloseHandle(process.hThread);
  DWORD status = static_cast<DWORD>(-1);
  bool waited = ::WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hProcess);
  return waited ? static_cast<int>(status) : -1;
}

}  // namespace testchild
}  // namespace tarnlet
