// The command's own failures (bad input, unreadable files), told apart from
// the library's result codes by their exit statuses.
#ifndef TARNLET_TOOLS_TOOL_ERROR_H_
#define TARNLET_TOOLS_TOOL_ERROR_H_

#include <stdexcept>
#include <string>

namespace tarnlet {
namespace tool {

// Exit statuses. A failed call of the library exits with the result code's
// absolute value (1 to 32), so these stay above that range.
constexpr int kExitUsage = 64;    // the command line is wrong
constexpr int kExitData = 65;     // a text or value cannot be put into the record
constexpr int kExitNoInput = 66;  // an input file cannot be read
constexpr int kExitSystem = 71;   // the system refused a service (temporary file)

class ToolError : public std::runtime_error {
 public:
  ToolError(int exitStatus, const std::string& message)
      : std::runtime_error(message), exitStatus_(exitStatus) {}
  int exitStatus() const { return exitStatus_; }

 private:
  int exitStatus_;
};

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_TOOL_ERROR_H_
