// Dotted literals: names made only of digits, dots and spaces are taken
// as addresses and rebuilt from their numbers, without a lookup.
#include <cstdio>
#include <cstring>

#include "frame/mail_sender.h"
#include "net/decimal.h"

namespace tarnlet {
namespace {

// Appends text to out (length so far in *used), cutting at capacity - 1.
void AppendBounded(char* out, std::size_t capacity, std::size_t* used, const char* text) {
  for (; *text != '\0' && *used + 1 < capacity; ++text) out[(*used)++] = *text;
  out[*used] = '\0';
}

}  // namespace

bool MailSender::IsDottedLiteral(const char* name) {
  for (; *name != '\0'; ++name) {
    if (std::strchr("0123456789. ", *name) == nullptr) return false;
  }
  return true;
}

void MailSender::NormalizeDotted(const char* name, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  out[0] = '\0';
  std::size_t used = 0;
  for (const char* piece = name;;) {
    const char* dot = std::strchr(piece, '.');
    const std::size_t length =
        dot != nullptr ? static_cast<std::size_t>(dot - piece) : std::strlen(piece);
    char number[16];
    std::snprintf(number, sizeof number, dot != nullptr ? "%d." : "%d",
                  DecimalPrefix(piece, length));
    AppendBounded(out, capacity, &used, number);
    if (dot == nullptr) return;
    piece = dot + 1;
  }
}

}  // namespace tarnlet
