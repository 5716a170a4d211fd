// Assembly of one command or header line in a fixed buffer, and the helpers
// every step of the dialogue and the composer use to send it or give up.
#ifndef TARNLET_MAIL_LINE_BUILDER_H_
#define TARNLET_MAIL_LINE_BUILDER_H_

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "net/exchange.h"

namespace tarnlet {

// A settings field as text: up to its NUL, never past its width, so a record
// whose field lacks the NUL cannot make a line read beyond the field.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  const void* nul = std::memchr(field, '\0', N);
  return {field,
          nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : N};
}

// Appends pieces to a NUL-terminated line. The buffers are sized so that
// every line a record can produce fits; should one not, the line is cut
// and overflowed() says so (never a write past the buffer).
class LineBuilder {
 public:
  LineBuilder(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {
    buffer_[0] = '\0';
  }

  LineBuilder& Add(std::string_view text) {
    std::size_t room = capacity_ - 1 - length_;
    std::size_t n = text.size();
    if (n > room) {
      n = room;
      overflowed_ = true;
    }
    std::memcpy(buffer_ + length_, text.data(), n);
    length_ += n;
    buffer_[length_] = '\0';
    return *this;
  }

  const char* data() const { return buffer_; }
  std::size_t size() const { return length_; }
  bool overflowed() const { return overflowed_; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
  bool overflowed_ = false;
};

// A line assembled in the process-global transmit buffer.
LineBuilder TransmitLine();

// Sends the line whole; false after SendAll's own log line, or when the
// line did not fit its buffer (nothing is sent then).
bool SendBuilt(Exchange& smtp, const LineBuilder& line);

// Copies text into the transmit buffer and sends it whole.
bool SendText(Exchange& smtp, std::string_view text);

// Sends one line made of pieces, assembled in the transmit buffer; on
// failure gives up with fail.
ResultCode SendLineOrFail(Exchange& smtp, std::initializer_list<std::string_view> pieces,
                          LogLine fail);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_LINE_BUILDER_H_
