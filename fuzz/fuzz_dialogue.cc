#include <cstddef>
#include <cstdint>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)tarnlet::fuzzing::RunDialogueInput(data, size);
  return 0;
}
