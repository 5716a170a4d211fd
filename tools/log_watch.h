// The lines one call appends to its log file, for showing after a failure.
#ifndef TARNLET_TOOLS_LOG_WATCH_H_
#define TARNLET_TOOLS_LOG_WATCH_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tarnlet {
namespace tool {

class LogWatch {
 public:
  // Watches the log file at path (a library path) from its present end.
  // With an empty path, watches a temporary file of its own instead, which
  // the destructor removes; throws ToolError when none can be made.
  explicit LogWatch(const std::string& path);
  ~LogWatch();
  LogWatch(const LogWatch&) = delete;
  LogWatch& operator=(const LogWatch&) = delete;

  const std::string& path() const { return path_; }
  bool temporary() const { return temporary_; }

  // The lines written since the watch began, without their line ends and
  // without the empty lines that "\r\n"-ended messages leave, converted from
  // Shift-JIS to the terminal's encoding.
  std::vector<std::string> NewLines() const;

 private:
  std::string path_;
  bool temporary_;
  std::uint64_t start_;
};

// The lines of Shift-JIS log text, as NewLines gives them.
std::vector<std::string> SplitLogText(const std::string& sjis);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_LOG_WATCH_H_
