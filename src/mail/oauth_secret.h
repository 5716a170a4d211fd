// Text that holds a secret (a client secret, a refresh or access token, a
// form or answer carrying one): every block it ever had is wiped when it
// is given back, and the text itself when its owner goes.
#ifndef TARNLET_MAIL_OAUTH_SECRET_H_
#define TARNLET_MAIL_OAUTH_SECRET_H_

#include <cstddef>
#include <new>
#include <string>

#include "mail/wipe.h"

namespace tarnlet {

template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) {
    WipeSecret(p, n * sizeof(T));
    ::operator delete(p);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const {
    return true;
  }
  template <typename U>
  bool operator!=(const WipingAllocator<U>&) const {
    return false;
  }
};

using SecretString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// A SecretString that also wipes what it holds in place (a short text
// lives inside the object, not in a block of its own).
class Secret : public SecretString {
 public:
  using SecretString::SecretString;
  Secret() = default;
  Secret(const Secret&) = default;
  Secret& operator=(const Secret&) = default;
  ~Secret() { Wipe(); }
  void Wipe() {
    if (!empty()) WipeSecret(&(*this)[0], size());
    clear();
  }
};

}  // namespace tarnlet

#endif  // TARNLET_MAIL_OAUTH_SECRET_H_
