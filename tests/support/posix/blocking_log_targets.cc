#include "support/blocking_log_targets.h"

#include <sys/stat.h>

#include <stdexcept>

namespace tarnlet {
namespace testing {

BlockingLogTargets::BlockingLogTargets(const TempDir& dir) {
  std::string fifo = dir.File("nobody-reads.fifo");
  if (::mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + fifo);
  paths_.push_back(fifo);
}

BlockingLogTargets::~BlockingLogTargets() = default;

}  // namespace testing
}  // namespace tarnlet
