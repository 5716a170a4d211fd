#include "mail/body_writer.h"

#include <cstring>

namespace tarnlet {

BodyWriter::BodyWriter(char* buffer, std::size_t capacity, Sink sink, void* context)
    : buffer_(buffer), capacity_(capacity), sink_(sink), context_(context) {}

bool BodyWriter::Write(const char* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && !failed_) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      // A LF right after a CR: that CR already went out as CR LF.
      if (!(c == '\n' && afterCr_)) {
        Put('\r');
        Put('\n');
        atLineStart_ = true;
      }
      afterCr_ = (c == '\r');
      ++i;
      continue;
    }
    afterCr_ = false;
    if (atLineStart_ && c == '.') Put('.');
    atLineStart_ = false;
    // The rest of the line goes out as it is, copied in one piece.
    std::size_t end = i + 1;
    while (end < length && text[end] != '\r' && text[end] != '\n') ++end;
    PutRun(text + i, end - i);
    i = end;
  }
  return !failed_;
}

bool BodyWriter::Finish() {
  if (!failed_) Flush();
  return !failed_;
}

bool BodyWriter::Put(char c) {
  if (used_ == capacity_ && !Flush()) return false;
  buffer_[used_++] = c;
  return true;
}

bool BodyWriter::PutRun(const char* text, std::size_t length) {
  while (length > 0) {
    if (used_ == capacity_ && !Flush()) return false;
    const std::size_t room = capacity_ - used_;
    const std::size_t n = length < room ? length : room;
    std::memcpy(buffer_ + used_, text, n);
    used_ += n;
    text += n;
    length -= n;
  }
  return true;
}

bool BodyWriter::Flush() {
  if (failed_) return false;
  if (used_ > 0 && !sink_(context_, buffer_, used_)) failed_ = true;
  used_ = 0;
  return !failed_;
}

}  // namespace tarnlet
