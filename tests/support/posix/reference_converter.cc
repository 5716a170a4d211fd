#include "support/reference_converter.h"

#include <iconv.h>

#include <vector>

namespace tarnlet {
namespace testing {
namespace {

class IconvConverter : public ReferenceConverter {
 public:
  explicit IconvConverter(iconv_t cd) : cd_(cd) {}
  ~IconvConverter() override { iconv_close(cd_); }

  std::optional<std::string> Convert(const std::string& in) override {
    std::string input = in;
    std::vector<char> out(4 * in.size() + 8);
    char* inPtr = input.data();
    char* outPtr = out.data();
    std::size_t inLeft = input.size(), outLeft = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    return std::string(out.data(), outPtr);
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::unique_ptr<ReferenceConverter> ReferenceConverter::Open(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return std::make_unique<IconvConverter>(cd);
}

}  // namespace testing
}  // namespace tarnlet
