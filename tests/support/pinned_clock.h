// The one clock and random seed every test and fuzzer pins, and how the log
// file stores lines written at that clock. Header only: the fuzzers, which
// link no test library, use it too.
#ifndef TARNLET_TESTS_SUPPORT_PINNED_CLOCK_H_
#define TARNLET_TESTS_SUPPORT_PINNED_CLOCK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tarnlet {
namespace testing {

// Thursday 5 March 2026, 09:07:03, Japan time.
constexpr LocalTime kPinnedTime = {2026, 3, 4, 5, 9, 7, 3, 540};
constexpr std::uint32_t kPinnedSeed = 20260305u;
// How every log line written at kPinnedTime starts.
constexpr char kPinnedStamp[] = "2026/03/05 09:07:03  ";

// The stamp, the message with each LF stored as CR LF, and the CR LF of the
// line end.
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

#endif  // TARNLET_TESTS_SUPPORT_PINNED_CLOCK_H_
