#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path =
      "/tmp/tarnlet-fuzz-" + std::to_string(std::random_device()()) + ".ini";
  tarnlet::fuzzing::RunIniInput(data, size, path);
  return 0;
}
