#include "mail/body_writer.h"

namespace tarnlet {

BodyWriter::BodyWriter(char* buffer, std::size_t capacity, Sink sink, void* context)
    : buffer_(buffer), capacity_(capacity), sink_(sink), context_(context) {}

bool BodyWriter::Write(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length && !failed_; ++i) {
    const char c = text[i];
    if (c == '\n' && afterCr_) {
      afterCr_ = false;  // the CR before it already went out as CR LF
      continue;
    }
    afterCr_ = (c == '\r');
    if (c == '\r' || c == '\n') {
      Put('\r');
      Put('\n');
      atLineStart_ = true;
      continue;
    }
    if (atLineStart_ && c == '.') Put('.');
    Put(c);
    atLineStart_ = false;
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

bool BodyWriter::Flush() {
  if (failed_) return false;
  if (used_ > 0 && !sink_(context_, buffer_, used_)) failed_ = true;
  used_ = 0;
  return !failed_;
}

}  // namespace tarnlet
