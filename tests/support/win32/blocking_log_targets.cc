#include "support/blocking_log_targets.h"

#include <windows.h>

#include <stdexcept>

namespace tarnlet {
namespace testing {

BlockingLogTargets::BlockingLogTargets(const TempDir&) {
  // Listening but never reading, with no buffer: a write would wait for a
  // reader that never comes.
  std::string name = "\\\\.\\pipe\\tarnlet-nobody-reads-" + std::to_string(::GetCurrentProcessId());
  HANDLE pipe = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                   0, 0, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateNamedPipeA " + name);
  pipe_ = reinterpret_cast<std::intptr_t>(pipe);
  paths_ = {name, "CON", "NUL", "COM1"};
}

BlockingLogTargets::~BlockingLogTargets() {
  if (pipe_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(pipe_));
}

}  // namespace testing
}  // namespace tarnlet
