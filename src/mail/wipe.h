// Clearing the library's own copies of secrets in a way the compiler may
// not drop as a dead store.
#ifndef TARNLET_MAIL_WIPE_H_
#define TARNLET_MAIL_WIPE_H_

#include <cstddef>

namespace tarnlet {

inline void WipeSecret(void* data, std::size_t size) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

}  // namespace tarnlet

#endif  // TARNLET_MAIL_WIPE_H_
