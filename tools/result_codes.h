// What each result code of the library means, in words for a person,
// expanded from the library's one list of outcomes.
#ifndef TARNLET_TOOLS_RESULT_CODES_H_
#define TARNLET_TOOLS_RESULT_CODES_H_

#include <cstddef>
#include <cstdint>

namespace tarnlet {
namespace tool {

struct ResultCodeInfo {
  std::int32_t code;
  const char* meaning;  // as "tarnlet codes" prints it
  const char* page;     // its row in docs/result-codes.md
};

// Every code the library returns, 0 first, then falling.
extern const ResultCodeInfo kResultCodes[];
extern const std::size_t kResultCodeCount;

// The meaning of code; a fixed text for a code the library never returns.
const char* MeaningOf(std::int32_t code);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_RESULT_CODES_H_
