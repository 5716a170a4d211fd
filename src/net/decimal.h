// Reading the decimal number at the start of received bytes, the way
// strtol (base 10) and atoi read it, but bounded by a length and free of
// overflow.
#ifndef TARNLET_NET_DECIMAL_H_
#define TARNLET_NET_DECIMAL_H_

#include <cstddef>

namespace tarnlet {

// Skips leading white space, takes an optional sign, then digits, all
// within the first length bytes (text need not be NUL-terminated). No
// digits give 0; a value beyond the range of int saturates at its limit.
int DecimalPrefix(const char* text, std::size_t length);

}  // namespace tarnlet

#endif  // TARNLET_NET_DECIMAL_H_
