// The header fields of an attachment part that carry its file name.
#ifndef TARNLET_MAIL_FILE_NAME_FIELDS_H_
#define TARNLET_MAIL_FILE_NAME_FIELDS_H_

#include <cstddef>

#include "mail/line_builder.h"

namespace tarnlet {

// rawName is the name as the path holds it, name its header form (itself
// when ASCII, else one encoded word; itself too when memory was short).

// The Content-Type field, with name="...", in the transmit buffer; returns
// its length, 0 when it does not fit.
std::size_t BuildTypeField(const char* path, const char* rawName, const char* name);

// Content-Disposition: filename="..." for an ASCII name, else the RFC 2231
// form of its ISO-2022-JP octets.
void BuildDispositionField(LineBuilder& line, const char* rawName, const char* name);

// Content-Description: the name quoted when ASCII, else bare encoded words.
void BuildDescriptionField(LineBuilder& line, const char* rawName, const char* name);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_FILE_NAME_FIELDS_H_
