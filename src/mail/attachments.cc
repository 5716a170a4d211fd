#include "mail/attachments.h"

#include <cstdint>
#include <cstring>

#include "codec/sjis.h"
#include "mail/line_builder.h"

namespace tarnlet {
namespace {

// Every path of the list, each NUL-terminated, one after another: together
// they never need more bytes than the list itself plus its NUL.
struct AttachmentSlots {
  char text[kAttachmentListCapacity + 1];
  std::uint16_t start[kMaxAttachments];
};
AttachmentSlots g_attachmentSlots;

}  // namespace

const MimeTypeRow MimeTypeTable[kMimeTypeRows] = {
    {"txt", "text/plain"},
    {"htm", "text/html"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"bmp", "image/bmp"},
    {"zip", "application/x-zip-compressed"},
    {"doc", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"exe", "application/vnd.ms-download"},
    {"dll", "application/vnd.ms-download"},
    {"eml", "message/rfc822"},
    {"mht", "message/rfc822"},
    {"mhtml", "message/rfc822"},
    {"nws", "message/rfc822"},
    {"fdf", "application/vnd.fdf"},
    {"pdf", "application/pdf"},
    {"rmi", "audio/mid"},
    {"qt", "video/quicktime"},
    {"mov", "video/quicktime"},
    {"avi", "video/x-msvideo"},
    {"tiff", "image/tiff"},
    {"tif", "image/tiff"},
    {"wav", "audio/wav"},
    {"mp1", "audio/wav"},
    {"mp2", "audio/wav"},
    {"mp3", "audio/wav"},
    {"mp4", "audio/wav"},
    {"als", "Audio/X-Alpha5"},
    {"html", "text/html"},
};

int SplitAttachmentList(const char* list) {
  AttachmentSlots& slots = g_attachmentSlots;
  std::size_t used = 0;        // bytes of text filled
  std::size_t entryStart = 0;  // where the current entry began in text
  std::size_t entryEnd = 0;    // just after its last byte that is no space
  int count = 0;
  for (std::size_t i = 0;; ++i) {
    const char c = i < kAttachmentListCapacity - 1 ? list[i] : '\0';
    if (c == ';' || c == '\0') {
      used = entryEnd;  // the spaces after the entry go
      if (used > entryStart) {
        slots.text[used++] = '\0';
        slots.start[count++] = static_cast<std::uint16_t>(entryStart);
        entryStart = entryEnd = used;
      }
      if (c == '\0') break;
      continue;
    }
    // Spaces before the entry go; a path with spaces inside it is kept
    // whole (a 0x20 is never the second byte of a Shift-JIS pair).
    if (c == ' ' && used == entryStart) continue;
    slots.text[used++] = c;
    if (c != ' ') entryEnd = used;
  }
  return count;
}

const char* AttachmentPath(int k) { return g_attachmentSlots.text + g_attachmentSlots.start[k]; }

const char* MimeTypeForPath(const char* path) {
  const char* dot = std::strchr(path, '.');
  const char* extension = dot != nullptr ? dot + 1 : "";
  for (const MimeTypeRow& row : MimeTypeTable) {
    if (std::strcmp(extension, row.extension) == 0) return row.type;
  }
  return "application/octet-stream";
}

const char* FileNameOfPath(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (StartsSjisPair(reinterpret_cast<const unsigned char*>(p))) {
      ++p;  // the trail byte is never a separator
    } else if (*p == '\\' || *p == '/') {
      name = p + 1;
    }
  }
  return name;
}

const char* HeaderFileName(const char* name, char* out) {
  for (const char* p = name; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) {
      return EncodeHeaderWord(name, out) != 0 ? out : name;
    }
  }
  return name;
}

std::size_t BuildContentTypeLine(const char* path, char* out, std::size_t capacity,
                                 const char* name) {
  LineBuilder line(out, capacity);
  line.Add("Content-Type: ").Add(MimeTypeForPath(path)).Add("; name=\"").Add(name).Add("\"\r\n");
  return line.overflowed() ? 0 : line.size();
}

}  // namespace tarnlet
