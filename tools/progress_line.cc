#include "progress_line.h"

#include <cstdio>
#include <fstream>

namespace tarnlet {
namespace tool {
namespace {

std::string Size(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1000 * 1000) {
    std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  }
  return text;
}

std::string Rate(double bytesPerSecond) {
  char text[32];
  if (bytesPerSecond < 1e6) {
    std::snprintf(text, sizeof text, "%.0f kB/s", bytesPerSecond / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / 1e6);
  }
  return text;
}

// The base64 lines of one attachment: 54 bytes a line of 72 and CR LF.
constexpr std::uint64_t kBytesPerLine = 54;
constexpr std::uint64_t kLineBytes = 74;
constexpr std::uint64_t kHeaderRoom = 1024;
constexpr std::uint64_t kPartHeaderRoom = 300;

}  // namespace

ProgressLine::ProgressLine(std::ostream& err, std::size_t columns)
    : err_(err), columns_(columns > 1 ? columns - 1 : 1) {}

void ProgressLine::Show(const std::string& text) {
  std::string line = "tarnlet: " + text;
  if (line.size() > columns_) line.resize(columns_);
  if (width_ > 0 && line == shown_) return;
  shown_ = line;
  std::size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');
  err_ << '\r' << line;
  if (line.size() > width) err_ << '\r' << line.substr(0, width);
  err_.flush();
  width_ = width;
}

void ProgressLine::Clear() {
  if (width_ == 0) return;
  err_ << '\r' << std::string(width_, ' ') << '\r';
  err_.flush();
  width_ = 0;
}

std::string StatusText(const std::string& step, double stepSeconds, std::uint64_t sent,
                       std::uint64_t total, double contentSeconds) {
  if (step == "sending the message") {
    std::string text = step + ": " + Size(sent);
    if (total > sent) text += " of about " + Size(total);
    if (contentSeconds > 0.2) text += ", " + Rate(sent / contentSeconds);
    return text;
  }
  if (stepSeconds < 1) return step;
  return step + " (" + std::to_string(static_cast<long>(stepSeconds)) + " s)";
}

std::uint64_t EstimateContentBytes(std::size_t bodyBytes, std::uint64_t attachmentBytes,
                                   std::size_t attachments) {
  std::uint64_t lines = (attachmentBytes + kBytesPerLine - 1) / kBytesPerLine + attachments;
  return kHeaderRoom + bodyBytes + bodyBytes / 8 + lines * kLineBytes +
         attachments * kPartHeaderRoom;
}

std::uint64_t AttachmentBytes(const std::string& list, std::size_t* count) {
  std::uint64_t total = 0;
  *count = 0;
  std::size_t at = 0;
  while (at <= list.size()) {
    std::size_t end = list.find(';', at);
    if (end == std::string::npos) end = list.size();
    std::string path = list.substr(at, end - at);
    at = end + 1;
    if (path.empty()) continue;
    ++*count;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
    if (size > 0) total += static_cast<std::uint64_t>(size);
  }
  return total;
}

}  // namespace tool
}  // namespace tarnlet
