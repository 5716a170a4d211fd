// The log file: one timestamped line per WriteLog, appended to the file the
// settings name.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

// "yyyy/mm/dd hh:mm:ss  "
constexpr std::size_t kTimestampLength = 21;

// Room for a line: on the stack when it fits (every message the library
// formats does), else a heap block, so no message is ever cut short.
class LineScratch {
 public:
  explicit LineScratch(std::size_t size)
      : data_(size <= sizeof local_ ? local_
                                    : static_cast<char*>(CurrentPlatform().Allocate(size))) {}
  ~LineScratch() {
    if (data_ != nullptr && data_ != local_) CurrentPlatform().Release(data_);
  }
  LineScratch(const LineScratch&) = delete;
  LineScratch& operator=(const LineScratch&) = delete;

  char* data() { return data_; }

 private:
  char local_[kTimestampLength + kFormatBufferSize + 64];
  char* data_;
};

// Writes the decimal digits of value at out; returns how many.
std::size_t FormatDecimal(long value, char* out) {
  char digits[24];
  std::size_t count = 0;
  unsigned long magnitude =
      value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}

}  // namespace

int MailSender::WriteLog(const char* message) {
  const char* path = g_mailSettings.Log;
  // A record whose Log field does not end within its width names no file.
  if (std::memchr(path, '\0', sizeof g_mailSettings.Log) == nullptr || path[0] == '\0') {
    return 0;
  }
  Platform& platform = CurrentPlatform();
  LocalTime now = platform.LocalNow();
  char stamp[64];
  int stampLength = std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d  ", now.year,
                                  now.month, now.day, now.hour, now.minute, now.second);
  if (stampLength < 0) return 0;
  std::size_t messageLength = std::strlen(message);
  LineScratch line(static_cast<std::size_t>(stampLength) + messageLength + 1);
  if (line.data() == nullptr) return 0;
  std::memcpy(line.data(), stamp, static_cast<std::size_t>(stampLength));
  std::memcpy(line.data() + stampLength, message, messageLength + 1);
  return platform.AppendLogLine(path, line.data()) ? 1 : 0;
}

void MailSender::WriteLogCode(const char* format, long value) {
  // Only "%d" and "%%" are directives here; a lone "%" stays as it is.
  LineScratch message(std::strlen(format) + 24);
  char* out = message.data();
  if (out == nullptr) return;
  bool substituted = false;
  for (const char* in = format; *in != '\0'; ++in) {
    if (in[0] == '%' && in[1] == '%') {
      *out++ = '%';
      ++in;
    } else if (in[0] == '%' && in[1] == 'd' && !substituted) {
      out += FormatDecimal(value, out);
      substituted = true;
      ++in;
    } else {
      *out++ = *in;
    }
  }
  *out = '\0';
  WriteLog(message.data());
}

}  // namespace tarnlet
