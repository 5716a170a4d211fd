// A header field whose items move onto continuation lines (CR LF and a
// space, RFC 5322 2.2.3) where a line would grow past its limit. A field
// that fits is written exactly as if it were never folded.
#ifndef TARNLET_MAIL_FOLDED_FIELD_H_
#define TARNLET_MAIL_FOLDED_FIELD_H_

#include <cstddef>
#include <string_view>

#include "mail/body_writer.h"
#include "mail/line_builder.h"

namespace tarnlet {

// Lines that hold encoded words (RFC 2047 2).
constexpr std::size_t kEncodedWordLineOctets = 76;
constexpr std::size_t kMaxEncodedWord = 75;

class FoldedField {
 public:
  FoldedField(LineBuilder& line, std::string_view start, std::size_t limit = kMaxLineOctets)
      : line_(line), limit_(limit) {
    line_.Add(start);
    lineOctets_ = start.size();
  }

  // Writes the separator before an item of itemLength octets, or, when the
  // item would not fit the line, the separator less its trailing spaces and
  // a fold. The first item is never preceded by either.
  void Separate(std::string_view separator, std::size_t itemLength);
  // Ends the line here with before and a fold, whatever room is left.
  void Fold(std::string_view before);
  // A piece of the current item.
  void Add(std::string_view piece) {
    line_.Add(piece);
    lineOctets_ += piece.size();
  }
  void Item(std::string_view separator, std::string_view item) {
    Separate(separator, item.size());
    Add(item);
  }
  void End() { line_.Add("\r\n"); }

 private:
  LineBuilder& line_;
  std::size_t limit_;
  std::size_t lineOctets_ = 0;
  bool first_ = true;
};

}  // namespace tarnlet

#endif  // TARNLET_MAIL_FOLDED_FIELD_H_
