// A boundary that no line of the text holds (RFC 2046 5.1.1): otherwise a
// line of the text would end the text part and begin a part of its own.
#include <cstring>

#include "frame/globals.h"
#include "mail/body_writer.h"
#include "mail/message_parts.h"

namespace tarnlet {
namespace {

// How the lines of the text, as they go on the wire, begin.
struct LineScan {
  std::string_view prefix;  // "--" and a candidate boundary
  std::size_t column = 0;
  bool matching = true;
  char first = '\0';
  std::size_t dashLines = 0;       // lines beginning with "--"
  std::size_t matches = 0;         // lines beginning with prefix
  std::size_t following[11] = {};  // of those, by the digit after it; [10] anything else
};

void Matched(LineScan& scan, char next) {
  ++scan.matches;
  ++scan.following[next >= '0' && next <= '9' ? next - '0' : 10];
  scan.matching = false;
}

bool ScanPiece(void* context, const char* data, std::size_t length) {
  LineScan& scan = *static_cast<LineScan*>(context);
  for (std::size_t i = 0; i < length; ++i) {
    const char c = data[i];
    // The writer sends CR only as the first half of a line end.
    if (c == '\n') {
      scan.column = 0;
      scan.matching = true;
      continue;
    }
    if (c == '\r') {
      if (scan.matching && scan.column == scan.prefix.size()) Matched(scan, c);
      scan.matching = false;
      continue;
    }
    if (scan.column == 0) scan.first = c;
    if (scan.column == 1 && scan.first == '-' && c == '-') ++scan.dashLines;
    if (scan.matching) {
      if (scan.column == scan.prefix.size()) {
        Matched(scan, c);
      } else if (c != scan.prefix[scan.column]) {
        scan.matching = false;
      }
    }
    ++scan.column;
  }
  return true;
}

void Scan(const char* converted, std::string_view prefix, LineScan* scan) {
  *scan = LineScan();
  scan->prefix = prefix;
  // The transmit buffer is free until the multipart header goes out.
  BodyWriter writer(g_transmitBuffer, kTransmitBufferSize, &ScanPiece, scan);
  writer.Write(converted, std::strlen(converted));
  writer.Write("\r\n", 2);  // the last line too ends
  writer.Finish();
}

}  // namespace

std::string_view ChooseBoundary(std::string_view base, const char* converted, char* out) {
  // Longer words are refused by the settings check; nothing to choose then.
  if (base.size() > kMaxBoundaryLength) return base;
  char prefix[2 + kMaxBoundaryLength + 1] = "--";
  std::memcpy(prefix + 2, base.data(), base.size());
  std::size_t length = base.size();
  std::memcpy(out, base.data(), length);
  if (converted == nullptr) return {out, length};
  LineScan scan;
  Scan(converted, {prefix, 2 + length}, &scan);
  if (scan.matches == 0) return {out, length};

  // Each digit added leaves at most a tenth of the lines that still match,
  // so as many digits as the count of "--" lines has are always enough.
  std::size_t digits = 1;
  for (std::size_t n = scan.dashLines; n >= 10; n /= 10) ++digits;
  if (length + digits > kMaxBoundaryLength) {
    length = kMaxBoundaryLength - digits;
    Scan(converted, {prefix, 2 + length}, &scan);
  }
  for (;;) {
    int best = 0;
    for (int d = 1; d < 10; ++d) {
      if (scan.following[d] < scan.following[best]) best = d;
    }
    out[length] = static_cast<char>('0' + best);
    prefix[2 + length] = out[length];
    ++length;
    if (scan.following[best] == 0 || length == kMaxBoundaryLength) break;
    Scan(converted, {prefix, 2 + length}, &scan);
  }
  return {out, length};
}

}  // namespace tarnlet
