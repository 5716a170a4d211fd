// The message text in the form the DATA phase needs: every line end goes
// out as CR LF (a bare LF or a bare CR included), and a line beginning with
// '.' gets a second '.', so no line of the text can end the data early.
#ifndef TARNLET_MAIL_BODY_WRITER_H_
#define TARNLET_MAIL_BODY_WRITER_H_

#include <cstddef>

namespace tarnlet {

// A streaming filter: text may arrive in pieces of any size, and a line end
// or a line start split between two pieces is handled as if it were whole.
// It starts as if a CR LF had just been sent. Output collects in the given
// buffer and goes to the sink whenever the buffer is full, and at Finish.
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
};

}  // namespace tarnlet

#endif  // TARNLET_MAIL_BODY_WRITER_H_
