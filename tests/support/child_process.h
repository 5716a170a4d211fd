// The running test program started again as a child process, for tests of
// what several processes do at once. Only the test-support library links
// these.
#ifndef TARNLET_TESTS_SUPPORT_CHILD_PROCESS_H_
#define TARNLET_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <string>
#include <vector>

namespace tarnlet {
namespace testchild {

// Runs this program with the arguments (none holding a double quote), its
// environment extended by name=value; waits for it and returns its exit
// status, or -1 when it could not be started or did not exit normally.
int RunThisProgram(const std::vector<std::string>& arguments, const std::string& name,
                   const std::string& value);

}  // namespace testchild
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_CHILD_PROCESS_H_
