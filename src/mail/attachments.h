// Attachment paths from the AppendFile list, their file names and their
// Content-Type lines.
#ifndef TARNLET_MAIL_ATTACHMENTS_H_
#define TARNLET_MAIL_ATTACHMENTS_H_

#include <cstddef>

#include "codec/encoded_word.h"
#include "tarnlet.h"

namespace tarnlet {

constexpr std::size_t kAttachmentListCapacity = sizeof(MailSettings::AppendFile);
// Entries of one byte each, separated by ';', in a full list.
constexpr std::size_t kMaxAttachments = kAttachmentListCapacity / 2;
// Longest path a list can name, NUL included.
constexpr std::size_t kAttachmentPathCapacity = kAttachmentListCapacity;
// A file name as it goes into a header: raw, or one encoded word.
constexpr std::size_t kHeaderFileNameCapacity = EncodedWordCapacity(kAttachmentPathCapacity - 1);

// Fills the process-global attachment slots from list (';'-separated; the
// spaces around an entry are dropped, those inside a path kept; empty
// entries give no slot; at most kAttachmentListCapacity - 1 bytes of list
// are read). Returns the count.
int SplitAttachmentList(const char* list);

// The path in slot k (0 <= k < the last count), NUL-terminated.
const char* AttachmentPath(int k);

struct MimeTypeRow {
  const char* extension;
  const char* type;
};
constexpr int kMimeTypeRows = 31;
extern const MimeTypeRow MimeTypeTable[kMimeTypeRows];

// The type for path: everything after the first '.' of the whole path,
// compared case-sensitively with the table; "application/octet-stream"
// when no row matches.
const char* MimeTypeForPath(const char* path);

// The file name inside path: after the last '\' (a 0x5C trail byte of a
// Shift-JIS character is not one) or the last '/'; the whole path when
// there is neither.
const char* FileNameOfPath(const char* path);

// The name as header parameters carry it: unchanged when it is ASCII, else
// one encoded word (raw after all if memory for the encoding was short).
// out holds kHeaderFileNameCapacity bytes; returns out or name.
const char* HeaderFileName(const char* name, char* out);

// Writes "Content-Type: <type>; name=\"<name>\"\r\n" into out, NUL-terminated,
// and returns its length; 0 when it does not fit capacity.
std::size_t BuildContentTypeLine(const char* path, char* out, std::size_t capacity,
                                 const char* name);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_ATTACHMENTS_H_
