// What the test process holds, to show that many calls leave nothing
// behind: its open descriptors (Linux) or handles (Windows), and its
// resident (Linux) or private (Windows) memory.
#ifndef TARNLET_TESTS_SUPPORT_PROCESS_RESOURCES_H_
#define TARNLET_TESTS_SUPPORT_PROCESS_RESOURCES_H_

#include <cstddef>

namespace tarnlet {
namespace testing {

long OpenHandles();
std::size_t MemoryInUse();

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_PROCESS_RESOURCES_H_
