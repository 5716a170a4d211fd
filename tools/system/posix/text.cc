// Text conversion of the tarnlet command through iconv.
#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {
namespace {

const char kUnicode[] = "UTF-32LE";

bool IsOpen(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

// One descriptor per direction, opened on first use and closed at exit; the
// command converts a handful of strings and ends.
class Converters {
 public:
  ~Converters() {
    for (auto& entry : open_) {
      if (IsOpen(entry.second)) iconv_close(entry.second);
    }
  }
  iconv_t Get(const std::string& to, const std::string& from) {
    std::lock_guard<std::mutex> hold(mutex_);
    auto key = std::make_pair(to, from);
    auto found = open_.find(key);
    if (found != open_.end()) return found->second;
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    open_.emplace(key, cd);
    return cd;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, iconv_t> open_;
};

iconv_t Converter(const std::string& to, const std::string& from) {
  static Converters converters;
  return converters.Get(to, from);
}

// Converts all of input. Returns false at the first sequence that cannot be
// converted, with *stoppedAt its offset in input.
bool Convert(iconv_t cd, const std::string& input, std::string* output, std::size_t* stoppedAt) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  output->clear();
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char chunk[1024];
  for (;;) {
    char* out = chunk;
    std::size_t outLeft = sizeof chunk;
    std::size_t done = inLeft > 0 ? iconv(cd, &in, &inLeft, &out, &outLeft)
                                  : iconv(cd, nullptr, nullptr, &out, &outLeft);
    output->append(chunk, static_cast<std::size_t>(out - chunk));
    if (done != static_cast<std::size_t>(-1)) {
      if (inLeft == 0 && in != nullptr) {
        in = nullptr;  // flush the shift state once more, then stop
        continue;
      }
      return true;
    }
    if (errno == E2BIG) continue;
    *stoppedAt = input.size() - inLeft;
    return false;
  }
}

char32_t ReadUnit(const std::string& bytes, std::size_t at) {
  return static_cast<char32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

std::string WriteUnit(char32_t c) {
  std::string unit(4, '\0');
  for (int i = 0; i < 4; ++i) unit[i] = static_cast<char>((c >> (8 * i)) & 0xFF);
  return unit;
}

}  // namespace

bool IsKnownEncoding(const std::string& encoding) {
  return !encoding.empty() && IsOpen(Converter(kUnicode, encoding)) &&
         IsOpen(Converter(encoding, kUnicode));
}

bool DecodeText(const std::string& bytes, const std::string& encoding, std::u32string* out,
                std::size_t* badOffset) {
  std::string units;
  std::size_t stopped = 0;
  bool whole = Convert(Converter(kUnicode, encoding), bytes, &units, &stopped);
  out->clear();
  for (std::size_t at = 0; at + 4 <= units.size(); at += 4) out->push_back(ReadUnit(units, at));
  if (!whole) *badOffset = stopped;
  return whole;
}

bool EncodeChar(char32_t character, const std::string& encoding, std::string* out) {
  std::size_t stopped = 0;
  std::string bytes;
  if (!Convert(Converter(encoding, kUnicode), WriteUnit(character), &bytes, &stopped)) {
    return false;
  }
  std::string back;
  if (!Convert(Converter(kUnicode, encoding), bytes, &back, &stopped)) return false;
  if (back != WriteUnit(character)) return false;
  *out = bytes;
  return true;
}

std::string DefaultTextEncoding() {
  static const std::string codeset = [] {
    setlocale(LC_CTYPE, "");
    std::string name = nl_langinfo(CODESET);
    // The plain C locale says ASCII; a terminal that shows Japanese there
    // sends UTF-8, and ASCII is a subset of it.
    if (name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII") return std::string("UTF-8");
    return name;
  }();
  return codeset;
}

std::string TerminalEncoding() { return DefaultTextEncoding(); }

std::string ArgumentEncoding(const std::string& textEncoding) { return textEncoding; }

}  // namespace tool
}  // namespace tarnlet
