// The MIME parts of a message, as SendMessageContent sends them.
#ifndef TARNLET_MAIL_MESSAGE_PARTS_H_
#define TARNLET_MAIL_MESSAGE_PARTS_H_

#include <cstddef>
#include <string_view>

#include "net/exchange.h"

namespace tarnlet {

// The body in ISO-2022-JP, in a heap block the caller releases; nullptr
// when memory was short.
char* ConvertBody(const char* body);

// The boundary text to use: base, unless a line of the converted body as it
// goes on the wire begins with "--" and base; then base with digits added
// (cut short first where it would pass 70 characters) that no line holds.
// converted may be nullptr (no text part). out holds kMaxBoundaryLength + 1.
constexpr std::size_t kMaxBoundaryLength = 70;
std::string_view ChooseBoundary(std::string_view base, const char* converted, char* out);

// The text part: its header lines, then the converted body in DATA form.
// boundary is empty for a single-part message (no delimiter).
// Returns 0, or a negative code after giving up with its line.
ResultCode SendTextPart(Exchange& smtp, const char* converted, std::string_view boundary);

// One base64 attachment part, delimiter line first.
ResultCode SendAttachmentPart(Exchange& smtp, const char* path, std::string_view boundary);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_MESSAGE_PARTS_H_
