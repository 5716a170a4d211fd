#include <cstdlib>

#include "platform/win32/win32_platform.h"

namespace tarnlet {

void* Win32Platform::Allocate(std::size_t size) { return std::malloc(size); }

void Win32Platform::Release(void* block) { std::free(block); }

}  // namespace tarnlet
