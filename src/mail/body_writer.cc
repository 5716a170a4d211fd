#include "mail/body_writer.h"

#include <cstring>

namespace tarnlet {
namespace {

constexpr char kEsc = '\x1b';
constexpr char kToKanji[] = "\x1b$B";
constexpr char kToAscii[] = "\x1b(B";
constexpr std::size_t kEscapeLength = 3;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

BodyWriter::BodyWriter(char* buffer, std::size_t capacity, Sink sink, void* context)
    : buffer_(buffer), capacity_(capacity), sink_(sink), context_(context) {}

bool BodyWriter::Write(const char* text, std::size_t length) {
  std::size_t i = 0;
  // A token begun in the last piece is completed byte by byte.
  while (heldCount_ > 0 && !failed_) {
    const std::size_t taken = Token(held_, heldCount_, false);
    if (taken > 0) {
      heldCount_ -= taken;
      std::memmove(held_, held_ + taken, heldCount_);
      continue;
    }
    if (i == length) return !failed_;
    held_[heldCount_++] = text[i++];
  }
  while (i < length && !failed_) {
    std::size_t taken =
        kanji_ || text[i] == kEsc || IsLineEnd(text[i]) ? 0 : AsciiRun(text + i, length - i);
    if (taken == 0) taken = Token(text + i, length - i, false);
    if (taken == 0) {
      heldCount_ = length - i;
      std::memcpy(held_, text + i, heldCount_);
      break;
    }
    i += taken;
  }
  return !failed_;
}

bool BodyWriter::Finish() {
  std::size_t at = 0;
  while (at < heldCount_ && !failed_) at += Token(held_ + at, heldCount_ - at, true);
  heldCount_ = 0;
  if (!failed_) Flush();
  return !failed_;
}

std::size_t BodyWriter::Token(const char* text, std::size_t available, bool atEnd) {
  const char c = text[0];
  if (IsLineEnd(c)) {
    LineEnd(c);
    return 1;
  }
  if (c == kEsc) {
    if (available < kEscapeLength && !atEnd) {
      const bool mayBeEscape = available < 2 || text[1] == '$' || text[1] == '(';
      if (mayBeEscape) return 0;
    }
    if (available >= kEscapeLength && (text[1] == '$' || text[1] == '(') && text[2] == 'B') {
      const bool toKanji = text[1] == '$';
      // Entering a run needs room for one character and the run's end too;
      // the end of a run always has its room kept.
      if (toKanji) {
        Fit(kanji_ ? kEscapeLength : 2 * kEscapeLength + 2);
      } else if (!kanji_) {
        Fit(kEscapeLength);
      }
      Emit(text, kEscapeLength);
      kanji_ = toKanji;
      return kEscapeLength;
    }
  }
  // A character: two bytes in a run (unless a line end cuts the pair), one
  // outside it.
  std::size_t n = 1;
  if (kanji_) {
    if (available < 2 && !atEnd) return 0;
    if (available >= 2 && !IsLineEnd(text[1])) n = 2;
  }
  Fit(n);
  if (atLineStart_ && c == '.') Stuff();
  Emit(text, n);
  return n;
}

// ASCII bytes up to the next line end or escape, copied in pieces as long
// as the line allows.
std::size_t BodyWriter::AsciiRun(const char* text, std::size_t length) {
  std::size_t end = 0;
  while (end < length && text[end] != kEsc && !IsLineEnd(text[end])) ++end;
  std::size_t at = 0;
  while (at < end && !failed_) {
    if (atLineStart_ || lineOctets_ == kMaxLineOctets) {
      Fit(1);
      if (atLineStart_ && text[at] == '.') Stuff();
      Emit(text + at, 1);
      ++at;
      continue;
    }
    std::size_t n = kMaxLineOctets - lineOctets_;
    if (n > end - at) n = end - at;
    Emit(text + at, n);
    at += n;
  }
  return end;
}

void BodyWriter::LineEnd(char c) {
  // A LF right after a CR: that CR already went out as CR LF.
  if (!(c == '\n' && afterCr_)) {
    Put('\r');
    Put('\n');
    atLineStart_ = true;
    lineOctets_ = 0;
  }
  afterCr_ = (c == '\r');
}

void BodyWriter::Fit(std::size_t n) {
  if (kanji_) n += kEscapeLength;
  if (lineOctets_ + n > kMaxLineOctets && !atLineStart_) Break();
}

void BodyWriter::Break() {
  if (kanji_) PutRun(kToAscii, kEscapeLength);
  Put('\r');
  Put('\n');
  lineOctets_ = 0;
  atLineStart_ = true;
  if (kanji_) Emit(kToKanji, kEscapeLength);
}

// The doubled dot is not part of the line (RFC 5321 4.5.2, 4.5.3.1.6).
void BodyWriter::Stuff() { PutRun(".", 1); }

void BodyWriter::Emit(const char* text, std::size_t length) {
  PutRun(text, length);
  lineOctets_ += length;
  atLineStart_ = false;
  afterCr_ = false;
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
