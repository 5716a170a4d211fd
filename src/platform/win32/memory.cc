#include <cstdlib>

#include "platform/system_platform.h"

namespace tarnlet {

void* SystemPlatform::Allocate(std::size_t size) { return std::malloc(size); }

void SystemPlatform::Release(void* block) { std::free(block); }

}  // namespace tarnlet
