#include <cstdlib>

#include "platform/posix/posix_platform.h"

namespace tarnlet {

void* PosixPlatform::Allocate(std::size_t size) { return std::malloc(size); }

void PosixPlatform::Release(void* block) { std::free(block); }

}  // namespace tarnlet
