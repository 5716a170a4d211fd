#include "result_codes.h"

#include "frame/outcomes.h"

namespace tarnlet {
namespace tool {

#define TARNLET_RESULT_CODE_INFO(name, code, meaning, page) {code, meaning, page},
const ResultCodeInfo kResultCodes[] = {TARNLET_RESULT_CODES(TARNLET_RESULT_CODE_INFO)};
#undef TARNLET_RESULT_CODE_INFO

const std::size_t kResultCodeCount = sizeof kResultCodes / sizeof kResultCodes[0];

const char* MeaningOf(std::int32_t code) {
  for (const ResultCodeInfo& info : kResultCodes) {
    if (info.code == code) return info.meaning;
  }
  return "not a result code of this library";
}

}  // namespace tool
}  // namespace tarnlet
