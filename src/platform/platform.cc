#include "platform/platform.h"

namespace tarnlet {
namespace {
Platform* g_override = nullptr;
}  // namespace

Platform& CurrentPlatform() { return g_override != nullptr ? *g_override : NativePlatform(); }

void InstallPlatform(Platform* platform) { g_override = platform; }

}  // namespace tarnlet
