// The 21 fields of MailSettings, said once. The INI loader's table, the
// checks of validation, the options of "tarnlet send", the report of
// "tarnlet check" and the field table of docs/settings.md all come from
// this list (a tool test holds the page to it). Each user expands only the
// columns it needs, so the library carries none of the command's texts.
//
// X(member, section, sent, presence, option, help, meaning):
//   member    the record's member; it is also the INI key
//   section   the INI section
//   sent      how a text field reaches the wire (WireForm)
//   presence  whether validation refuses the field empty (Presence)
//   option    the option of "tarnlet send" that fills it; "" for none
//   help      that option's help text, as the command and its manual show it
//   meaning   the field's row in docs/settings.md (Markdown)
// The order is the record's, which is the order the loader reads the keys.
#ifndef TARNLET_FRAME_SETTINGS_FIELDS_H_
#define TARNLET_FRAME_SETTINGS_FIELDS_H_

#include <cstddef>
#include <cstdint>

#include "tarnlet.h"

// clang-format off
#define TARNLET_SETTINGS_FIELDS(X)                                                                \
  X(Startup, INIT, NotSent, Optional, "", "",                                                     \
    "Non-zero: the call starts and stops the socket library (Windows Sockets) itself. Zero: the " \
    "host has started it. On Linux there is nothing to start; both values work.")                 \
  X(Kind, AUTH, NotSent, Optional, "--auth",                                                      \
    "authentication: none, login (SMTP AUTH: CRAM-MD5, else PLAIN or LOGIN inside TLS; cram-md5 " \
    "is the same) or pop (POP before SMTP)",                                                      \
    "Authentication. 0: plain SMTP with HELO. 1: SMTP AUTH after EHLO: on ports 465 and 587 "     \
    "CRAM-MD5 when offered, else PLAIN or LOGIN inside TLS (STARTTLS first on 587); on other "    \
    "ports CRAM-MD5 (see below). 2: POP before SMTP, then HELO.")                                 \
  X(APOP, AUTH, NotSent, Optional, "--apop", "POP3 login with APOP instead of USER/PASS",         \
    "Non-zero: the POP3 login (Kind 2) uses APOP instead of USER/PASS.")                          \
  X(UserName, AUTH, AsWritten, Optional, "--user", "login name for SMTP AUTH or POP3",            \
    "Login name for POP3 (Kind 2) and SMTP AUTH (Kind 1).")                                       \
  X(Password, AUTH, AsWritten, Optional, "--password-file",                                       \
    "file holding the password (else $TARNLET_PASSWORD)",                                         \
    "Password for POP3 and SMTP AUTH.")                                                           \
  X(SMTPPortNo, AUTH, NotSent, Optional, "--port",                                                \
    "SMTP port: 25, 465 (TLS from the connect) or 587 (STARTTLS, with --auth login)",             \
    "SMTP server port: 25, 465 (TLS from the connect) or 587 (submission: STARTTLS and the "      \
    "login with `Kind` 1).")                                                                      \
  X(POP3PortNo, AUTH, NotSent, Optional, "--pop-port", "POP3 port (995: TLS from the connect)",   \
    "POP3 server port: 110, or 995 (TLS from the connect).")                                      \
  X(SMTPServerAddress, AUTH, NotSent, Required, "--server",                                       \
    "SMTP server: host name or dotted IPv4 address",                                              \
    "SMTP server: a host name or a dotted IPv4 address.")                                         \
  X(POP3ServerAddress, AUTH, NotSent, Required, "--pop-server",                                   \
    "POP3 server (default: the SMTP server)",                                                     \
    "POP3 server: a host name or a dotted IPv4 address. Required by validation even when `Kind` " \
    "is not 2.")                                                                                  \
  X(Address, SEND, AsWritten, Optional, "--to", "To address; repeat, or separate with ';'",       \
    "To list: addresses separated by `;`. Written to the To header as given; one RCPT TO per "    \
    "address.")                                                                                   \
  X(Cc, SEND, AsWritten, Optional, "--cc", "Cc address; repeat, or separate with ';'",            \
    "Cc list, same form.")                                                                        \
  X(Bcc, SEND, AsWritten, Optional, "--bcc",                                                      \
    "Bcc address (RCPT only); repeat, or separate with ';'",                                      \
    "Bcc list, same form; used for RCPT TO only, never written to a header.")                     \
  X(Subject, SEND, Encoded, Optional, "--subject", "Subject text",                                \
    "Subject text (Shift-JIS). Sent as one MIME encoded word.")                                   \
  X(sReply_To, SEND, AsWritten, Optional, "--reply-to", "Reply-To address",                       \
    "Reply-To address; the header is sent only when this is non-empty.")                          \
  X(Boundary, ETC, AsWritten, Optional, "--boundary", "word inside the MIME boundary",            \
    "Word inside the MIME boundary: `+-+-+-` *word* `-+-+-+`. Empty: `+-+-+-Default-+-+-+`. At "  \
    "most 58 bytes of letters, digits, space and `'()+_,-./:=?`.")                                \
  X(X_MailerName, ETC, AsWritten, Optional, "--x-mailer",                                         \
    "text of the X-Mailer header (none when empty)",                                              \
    "Text of the X-Mailer header; no header when empty.")                                         \
  X(MyHostFQDNName, ETC, AsWritten, Required, "--host-name",                                      \
    "own host name for HELO/EHLO and Message-Id",                                                 \
    "Own host name: the HELO/EHLO argument and the domain of the Message-Id.")                    \
  X(MyMailAddress, ETC, AsWritten, Required, "--from", "sender address (MAIL FROM and From)",     \
    "Sender address: MAIL FROM and the From header.")                                             \
  X(MyMailAddressComt, ETC, Encoded, Optional, "--from-name",                                     \
    "sender display name in the From header",                                                     \
    "Sender display name in the From header (Shift-JIS), sent as an encoded word.")               \
  X(AppendFile, FILE, AsWritten, Optional, "--attach", "file to attach; repeat for several",      \
    "Attachment file paths separated by `;`.")                                                    \
  X(Log, FILE, NotSent, Optional, "--log",                                                        \
    "append the library's log lines to this file (default: a temporary one)",                     \
    "Path of the log file. Empty: no log is written.")
// clang-format on

namespace tarnlet {

// A field by name, checked by the compiler: Field::kSubject.
enum class Field : std::size_t {
#define TARNLET_FIELD_ID(member, ...) k##member,
  TARNLET_SETTINGS_FIELDS(TARNLET_FIELD_ID)
#undef TARNLET_FIELD_ID
};

#define TARNLET_FIELD_ONE(...) +1
constexpr std::size_t kFieldCount = 0 TARNLET_SETTINGS_FIELDS(TARNLET_FIELD_ONE);
#undef TARNLET_FIELD_ONE

// A field's kind follows from its member's type in the record.
enum class FieldType { kFlag, kPort, kText };

template <typename T>
struct FieldTypeOf;
template <>
struct FieldTypeOf<std::int16_t> {
  static constexpr FieldType value = FieldType::kFlag;
};
template <>
struct FieldTypeOf<std::uint16_t> {
  static constexpr FieldType value = FieldType::kPort;
};
template <std::size_t N>
struct FieldTypeOf<char[N]> {
  static constexpr FieldType value = FieldType::kText;
};

#define TARNLET_FIELD_TYPE(member) FieldTypeOf<decltype(MailSettings::member)>::value

// A CR or LF in a field sent as written would end its command or header
// line early and let the rest pass as a line of its own; encoded fields and
// those never sent may hold any byte.
enum class WireForm { kAsWritten, kEncoded, kNotSent };

enum class Presence { kOptional, kRequired };

namespace settings_internal {

struct Extent {
  std::size_t offset;
  std::size_t width;
};

#define TARNLET_FIELD_EXTENT(member, ...) \
  Extent{offsetof(MailSettings, member), sizeof(MailSettings::member)},
constexpr Extent kExtents[] = {TARNLET_SETTINGS_FIELDS(TARNLET_FIELD_EXTENT)};
#undef TARNLET_FIELD_EXTENT

// True iff the fields follow each other without a gap and end the record.
constexpr bool ExtentsTileTheRecord() {
  std::size_t end = 0;
  for (const Extent& extent : kExtents) {
    if (extent.offset != end) return false;
    end += extent.width;
  }
  return end == sizeof(MailSettings);
}

}  // namespace settings_internal

static_assert(settings_internal::ExtentsTileTheRecord(),
              "TARNLET_SETTINGS_FIELDS must list every member of MailSettings in record order");

}  // namespace tarnlet

#endif  // TARNLET_FRAME_SETTINGS_FIELDS_H_
