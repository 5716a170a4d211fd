// How the log file stores lines written at the tests' pinned clock
// (2026-03-05 09:07:03): the stamp, the message with each LF stored as
// CR LF, and the CR LF of the line end.
#ifndef TARNLET_TESTS_SUPPORT_STORED_LOG_H_
#define TARNLET_TESTS_SUPPORT_STORED_LOG_H_

#include <string>
#include <vector>

namespace tarnlet {
namespace testing {

constexpr char kPinnedStamp[] = "2026/03/05 09:07:03  ";

inline std::string StoredLogLine(const std::string& message) {
  std::string line = kPinnedStamp;
  for (char c : message) {
    if (c == '\n') line += '\r';
    line += c;
  }
  return line + "\r\n";
}

inline std::string StoredLog(const std::vector<std::string>& messages) {
  std::string log;
  for (const std::string& message : messages) log += StoredLogLine(message);
  return log;
}

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_STORED_LOG_H_
