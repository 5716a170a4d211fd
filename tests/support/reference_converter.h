// A second opinion on conversions: the C library's own converter, where
// the system has one (glibc's iconv on Linux; none on Windows).
#ifndef TARNLET_TESTS_SUPPORT_REFERENCE_CONVERTER_H_
#define TARNLET_TESTS_SUPPORT_REFERENCE_CONVERTER_H_

#include <memory>
#include <optional>
#include <string>

namespace tarnlet {
namespace testing {

class ReferenceConverter {
 public:
  // Null when the system has no converter between the two encodings.
  static std::unique_ptr<ReferenceConverter> Open(const char* to, const char* from);
  virtual ~ReferenceConverter() = default;
  // The converted bytes, or nothing when the input does not convert.
  virtual std::optional<std::string> Convert(const std::string& in) = 0;
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_REFERENCE_CONVERTER_H_
