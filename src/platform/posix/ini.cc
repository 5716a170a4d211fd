// Our own reader of profile (INI) files, following the rules of the Windows
// reader that settings files are written for:
// - section and key names match without regard to ASCII case; blanks
//   (space, tab, CR, VT, FF and the old end-of-file byte 0x1A) around names
//   and values are dropped;
// - there is no comment syntax: a line "; note=x" is the key "; note",
//   which no real name matches, so such lines serve as comments; a ';'
//   inside a value is data (address and attachment lists use it);
// - a value wrapped in matching single or double quotes loses them;
// - only the first section of a name is searched, and within it the first
//   line of the key wins; a repeated section is not consulted; lines before
//   the first header form a section with the empty name;
// - LF, CR LF and a lone CR end a line; all other bytes pass unchanged
//   (Shift-JIS: none of the blanks can be the second byte of a character).
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

struct Span {
  const char* begin;
  const char* end;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

Span Trim(Span s) {
  while (s.begin < s.end && IsBlank(*s.begin)) ++s.begin;
  while (s.end > s.begin && IsBlank(s.end[-1])) --s.end;
  return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameName(Span a, Span b) {
  if (a.end - a.begin != b.end - b.begin) return false;
  for (; a.begin < a.end; ++a.begin, ++b.begin) {
    if (AsciiLower(*a.begin) != AsciiLower(*b.begin)) return false;
  }
  return true;
}

Span Unquote(Span value) {
  if (value.end - value.begin >= 2 && (*value.begin == '"' || *value.begin == '\'') &&
      value.end[-1] == *value.begin) {
    ++value.begin;
    --value.end;
  }
  return value;
}

// Finds the value of key in section of the file text; false when missing.
bool FindValue(Span text, Span section, Span key, Span* value) {
  static const char kByteOrderMark[] = "\xEF\xBB\xBF";
  if (text.end - text.begin >= 3 && std::memcmp(text.begin, kByteOrderMark, 3) == 0) {
    text.begin += 3;
  }
  // Lines before the first header belong to the section with the empty name.
  bool inside = section.begin == section.end;
  for (const char* next = text.begin; next < text.end;) {
    const char* lineEnd = next;
    while (lineEnd < text.end && !IsLineEnd(*lineEnd)) ++lineEnd;
    Span line = Trim(Span{next, lineEnd});
    next = lineEnd < text.end ? lineEnd + 1 : text.end;
    if (line.begin == line.end) continue;
    if (*line.begin == '[') {
      const char* close = line.end;
      while (close > line.begin && close[-1] != ']') --close;
      if (close == line.begin) continue;  // no closing bracket: not a header
      if (inside) return false;           // the end of the first matching section
      inside = SameName(Trim(Span{line.begin + 1, close - 1}), section);
      continue;
    }
    if (!inside) continue;
    const char* equals =
        static_cast<const char*>(std::memchr(line.begin, '=', line.end - line.begin));
    if (equals == nullptr) continue;
    if (!SameName(Trim(Span{line.begin, equals}), key)) continue;
    *value = Unquote(Trim(Span{equals + 1, line.end}));
    return true;
  }
  return false;
}

// A whole settings or profile file in memory. They hold passwords and
// client secrets, so the copy is wiped before it is freed.
class FileText {
 public:
  explicit FileText(const char* path);
  ~FileText() {
    if (data_ == nullptr) return;
    ::explicit_bzero(data_, size_);
    std::free(data_);
  }
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;

  // Empty (begin null) when the file cannot be read.
  Span span() const { return Span{data_, data_ == nullptr ? nullptr : data_ + size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

FileText::FileText(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  struct stat status;
  // Settings files are small; anything else is not one.
  constexpr off_t kLargest = 16 << 20;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kLargest) {
    const std::size_t capacity = static_cast<std::size_t>(status.st_size);
    data_ = static_cast<char*>(std::malloc(capacity + 1));
    while (data_ != nullptr && size_ < capacity) {
      ssize_t got = ::read(fd, data_ + size_, capacity - size_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;  // shrunk while reading: keep what arrived
      size_ += static_cast<std::size_t>(got);
    }
  }
  ::close(fd);
}

// Appends the name of every section header of text to out, each with its
// NUL; false when they do not all fit.
bool ListSections(Span text, char* out, std::size_t capacity, std::size_t* used) {
  for (const char* next = text.begin; next < text.end;) {
    const char* lineEnd = next;
    while (lineEnd < text.end && !IsLineEnd(*lineEnd)) ++lineEnd;
    Span line = Trim(Span{next, lineEnd});
    next = lineEnd < text.end ? lineEnd + 1 : text.end;
    if (line.begin == line.end || *line.begin != '[') continue;
    const char* close = line.end;
    while (close > line.begin && close[-1] != ']') --close;
    if (close == line.begin) continue;
    Span name = Trim(Span{line.begin + 1, close - 1});
    const std::size_t length = static_cast<std::size_t>(name.end - name.begin);
    if (*used + length + 2 > capacity) return false;
    std::memcpy(out + *used, name.begin, length);
    *used += length;
    out[(*used)++] = '\0';
  }
  return true;
}

}  // namespace

bool SystemPlatform::ReadProfileSections(const char* path, char* out, std::size_t capacity) {
  if (capacity < 2) return false;
  out[0] = out[1] = '\0';
  const FileText text(path);
  if (text.span().begin == nullptr) return false;
  std::size_t used = 0;
  const bool all = ListSections(text.span(), out, capacity, &used);
  out[used] = '\0';
  return all;
}

std::size_t SystemPlatform::ReadProfileString(const char* path, const char* section,
                                              const char* key, char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  out[0] = '\0';
  if (path == nullptr || section == nullptr || key == nullptr || path[0] == '\0') return 0;
  const FileText text(path);
  if (text.span().begin == nullptr) return 0;
  Span value{};
  std::size_t length = 0;
  if (FindValue(text.span(), Trim(Span{section, section + std::strlen(section)}),
                Trim(Span{key, key + std::strlen(key)}), &value)) {
    // Cut in bytes, as the Windows reader does under a single-byte code
    // page. (Wine also drops the last byte of a quoted value that exactly
    // fills the buffer; that quirk is not copied.)
    length = static_cast<std::size_t>(value.end - value.begin);
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(out, value.begin, length);
    out[length] = '\0';
    length = std::strlen(out);  // a NUL byte in the file ends the value
  }
  return length;
}

}  // namespace tarnlet
