// The MIME parts of a message, as SendMessageContent sends them.
#ifndef TARNLET_MAIL_MESSAGE_PARTS_H_
#define TARNLET_MAIL_MESSAGE_PARTS_H_

#include <string_view>

#include "frame/mail_sender.h"

namespace tarnlet {

// The text part: its header lines, then the body converted to ISO-2022-JP in
// DATA form. boundary is empty for a single-part message (no delimiter).
// Returns 0, or a negative code after the socket was closed and logged.
ResultCode SendTextPart(MailSender& sender, SocketHandle socket, const char* body,
                        std::string_view boundary);

// One base64 attachment part, delimiter line first.
ResultCode SendAttachmentPart(MailSender& sender, SocketHandle socket, const char* path,
                              std::string_view boundary);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_MESSAGE_PARTS_H_
