// Process-global storage. Touched only while CallLock is held.
#ifndef TARNLET_FRAME_GLOBALS_H_
#define TARNLET_FRAME_GLOBALS_H_

#include <cstddef>

#include "tarnlet.h"

namespace tarnlet {

// Every line a record can produce fits: the longest is the folded
// Content-Disposition field of a 1023-byte path outside ASCII.
constexpr std::size_t kTransmitBufferSize = 16384;
constexpr std::size_t kFormatBufferSize = 2800;
// What one receive of a reply reader may take.
constexpr std::size_t kReceiveBufferSize = 1400;

extern MailSettings g_mailSettings;
extern char g_transmitBuffer[kTransmitBufferSize];
extern char g_formatBuffer[kFormatBufferSize];

}  // namespace tarnlet

#endif  // TARNLET_FRAME_GLOBALS_H_
