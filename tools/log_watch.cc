#include "log_watch.h"

#include <fstream>
#include <iterator>

#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

std::uint64_t SizeOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return 0;
  std::streamoff size = file.tellg();
  return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

}  // namespace

LogWatch::LogWatch(const std::string& path) : path_(path), temporary_(path.empty()), start_(0) {
  if (temporary_) {
    path_ = CreateTempFile("tnl");
    if (path_.empty()) throw ToolError(kExitSystem, "cannot create a temporary log file");
  }
  start_ = SizeOf(path_);
}

LogWatch::~LogWatch() {
  if (temporary_) RemoveFile(path_);
}

std::vector<std::string> LogWatch::NewLines() const {
  std::ifstream file(path_, std::ios::binary);
  if (!file) return {};
  file.seekg(static_cast<std::streamoff>(start_));
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return SplitLogText(text);
}

std::vector<std::string> SplitLogText(const std::string& sjis) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < sjis.size()) {
    std::size_t end = sjis.find('\n', at);
    if (end == std::string::npos) end = sjis.size();
    std::string line = sjis.substr(at, end - at);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(ShiftJisForTerminal(line));
    at = end + 1;
  }
  return lines;
}

}  // namespace tool
}  // namespace tarnlet
