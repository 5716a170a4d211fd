// Server names into dotted IPv4 text.
#ifndef TARNLET_NET_RESOLVE_H_
#define TARNLET_NET_RESOLVE_H_

#include "frame/mail_sender.h"

namespace tarnlet {

// Looks name up; 0 with the first address in out (16 bytes), else the
// resolver's failure.
LookupResult ResolveHost(const char* name, char* out);

enum class ServerRole { kSmtp, kPop3 };

// Capacity of a dotted text buffer: any literal a 255-byte name can hold
// normalised, fits (255 dots give 256 pieces of "0").
constexpr std::size_t kDottedCapacity = 520;

// Resolves one server name (a literal is normalised, anything else looked
// up) into out (kDottedCapacity bytes). Returns 0, or the lookup failure's
// result code after its log line.
ResultCode ResolveServer(MailSender& sender, const char* name, ServerRole role, char* out);

}  // namespace tarnlet

#endif  // TARNLET_NET_RESOLVE_H_
