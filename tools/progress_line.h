// The one-line status a terminal shows while a call runs: the step, and
// during the message content the bytes sent and the rate. It is redrawn in
// place with a carriage return and never scrolls.
#ifndef TARNLET_TOOLS_PROGRESS_LINE_H_
#define TARNLET_TOOLS_PROGRESS_LINE_H_

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace tarnlet {
namespace tool {

class ProgressLine {
 public:
  // columns: the terminal's width; the line stays one column short of it.
  ProgressLine(std::ostream& err, std::size_t columns);
  void Show(const std::string& text);
  // Removes the line, so other output starts at the left margin.
  void Clear();
  bool shown() const { return width_ > 0; }

 private:
  std::ostream& err_;
  std::size_t columns_;
  std::size_t width_ = 0;
  std::string shown_;
};

// "waiting for the reply to DATA (4 s)"; in the content "sending the
// message: 1.2 MB of about 4.1 MB, 850 kB/s". total 0: not known.
std::string StatusText(const std::string& step, double stepSeconds, std::uint64_t sent,
                       std::uint64_t total, double contentSeconds);

// About how many bytes the message content takes on the wire: the body,
// base64 lines of the attachments, and room for the header fields.
std::uint64_t EstimateContentBytes(std::size_t bodyBytes, std::uint64_t attachmentBytes,
                                   std::size_t attachments);

// The sizes of the files of a ';'-separated attachment list (library
// paths); a file that cannot be opened counts 0.
std::uint64_t AttachmentBytes(const std::string& list, std::size_t* count);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_PROGRESS_LINE_H_
