// The message text in the form the DATA phase needs: every line end goes
// out as CR LF (a bare LF or a bare CR included), a line beginning with '.'
// gets a second '.', so no line of the text can end the data early, and no
// line is longer than receivers accept.
#ifndef TARNLET_MAIL_BODY_WRITER_H_
#define TARNLET_MAIL_BODY_WRITER_H_

#include <cstddef>

namespace tarnlet {

// Octets a line may hold before its CR LF (RFC 5322 2.1.1); a dot doubled
// for the DATA phase is not counted (RFC 5321 4.5.3.1.6).
constexpr std::size_t kMaxLineOctets = 998;

// A streaming filter over ISO-2022-JP text: text may arrive in pieces of
// any size, and a line end, a line start or an escape sequence split between
// two pieces is handled as if it were whole. It starts as if a CR LF had
// just been sent. A longer line is broken between characters; a break
// inside a two-byte run closes it with ESC ( B and reopens it with ESC $ B
// on the next line, so each line stands alone (RFC 1468). Output collects
// in the given buffer and goes to the sink whenever the buffer is full, and
// at Finish.
class BodyWriter {
 public:
  // Returns false when the piece could not be delivered.
  using Sink = bool (*)(void* context, const char* data, std::size_t length);

  // REQUIRES: capacity >= 1; buffer outlives the writer.
  BodyWriter(char* buffer, std::size_t capacity, Sink sink, void* context);

  // Returns false as soon as the sink failed; nothing more is sent then.
  bool Write(const char* text, std::size_t length);
  // Delivers what is still buffered.
  bool Finish();

 private:
  // Consumes the token at text (at most available bytes) and returns its
  // length; 0 when the token needs bytes not yet given (unless atEnd).
  std::size_t Token(const char* text, std::size_t available, bool atEnd);
  std::size_t AsciiRun(const char* text, std::size_t length);
  void LineEnd(char c);
  // Makes room for n more octets, reserving the run's closing escape.
  void Fit(std::size_t n);
  void Stuff();
  void Break();
  void Emit(const char* text, std::size_t length);
  bool Put(char c);
  bool PutRun(const char* text, std::size_t length);
  bool Flush();

  char* buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  Sink sink_;
  void* context_;
  bool atLineStart_ = true;
  bool afterCr_ = false;
  bool failed_ = false;
  bool kanji_ = false;
  std::size_t lineOctets_ = 0;
  char held_[3];
  std::size_t heldCount_ = 0;
};

}  // namespace tarnlet

#endif  // TARNLET_MAIL_BODY_WRITER_H_
