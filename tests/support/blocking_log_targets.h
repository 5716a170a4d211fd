// Log paths that a careless writer would block on for ever, for the tests
// that prove a call never waits on its log.
#ifndef TARNLET_TESTS_SUPPORT_BLOCKING_LOG_TARGETS_H_
#define TARNLET_TESTS_SUPPORT_BLOCKING_LOG_TARGETS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tarnlet {
namespace testing {

// POSIX: a FIFO that nobody opens for reading. Windows: a named pipe whose
// server never reads, the console and NUL. They live as long as the object.
class BlockingLogTargets {
 public:
  explicit BlockingLogTargets(const TempDir& dir);
  ~BlockingLogTargets();
  BlockingLogTargets(const BlockingLogTargets&) = delete;
  BlockingLogTargets& operator=(const BlockingLogTargets&) = delete;

  const std::vector<std::string>& paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
  std::intptr_t pipe_ = -1;
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_BLOCKING_LOG_TARGETS_H_
