// A log line in the form the Windows C runtime's text mode stores it: every
// LF as CR LF, and CR LF added at the end. Both backends hand it to the file
// in one write, so that a line another process appends at the same moment
// falls before or after it, never inside it.
#ifndef TARNLET_PLATFORM_TEXT_MODE_LINE_H_
#define TARNLET_PLATFORM_TEXT_MODE_LINE_H_

#include <cstddef>
#include <cstdlib>

namespace tarnlet {

// Calls write(bytes, count) with the stored form of line: once, unless the
// line outgrows the stack buffer and no heap block of its size is left; then
// in pieces of the stack buffer's size.
template <typename Write>
void WriteTextModeLine(const char* line, Write write) {
  std::size_t length = 2;
  for (const char* p = line; *p != '\0'; ++p) length += *p == '\n' ? 2 : 1;
  char local[2048];
  char* whole = length > sizeof local ? static_cast<char*>(std::malloc(length)) : nullptr;
  char* buffer = whole != nullptr ? whole : local;
  const std::size_t capacity = whole != nullptr ? length : sizeof local;
  std::size_t used = 0;
  auto push = [&](char c) {
    if (used == capacity) {
      write(buffer, used);
      used = 0;
    }
    buffer[used++] = c;
  };
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == '\n') push('\r');
    push(*p);
  }
  push('\r');
  push('\n');
  write(buffer, used);
  std::free(whole);
}

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_TEXT_MODE_LINE_H_
