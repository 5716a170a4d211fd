#include "frame/globals.h"

namespace tarnlet {

MailSettings g_mailSettings;
char g_transmitBuffer[kTransmitBufferSize];
char g_formatBuffer[kFormatBufferSize];

}  // namespace tarnlet
