// One attachment part: its header lines and the file as base64 lines.
#include <cstddef>

#include "codec/base64.h"
#include "frame/globals.h"
#include "mail/attachments.h"
#include "mail/file_name_fields.h"
#include "mail/line_builder.h"
#include "mail/message_parts.h"

namespace tarnlet {
namespace {

// 54 bytes make one base64 line of 72 characters. Lines go out in batches
// that fill the transmit buffer, so a large file costs few sends and reads;
// the bytes on the wire are the same as line by line.
constexpr std::size_t kBytesPerLine = 54;
constexpr std::size_t kLineLength = 72 + 2;
constexpr std::size_t kLinesPerBatch = 8192 / kLineLength;
static_assert(kLinesPerBatch * kLineLength <= kTransmitBufferSize, "a batch fits the buffer");
constexpr std::size_t kAttachmentChunkSize = kBytesPerLine * kLinesPerBatch;
unsigned char g_attachmentChunk[kAttachmentChunkSize];
char g_headerFileName[kHeaderFileNameCapacity];

// rawName is the name as the path holds it; name is its header form.
ResultCode SendAttachmentHeader(Exchange& smtp, const char* path, const char* rawName,
                                const char* name, std::string_view boundary) {
  LineBuilder delimiter = TransmitLine();
  delimiter.Add("\r\n--").Add(boundary).Add("\r\n");
  if (!SendBuilt(smtp, delimiter)) {
    return smtp.GiveUp(LogLine::kAttachmentDelimiterSendNg);
  }
  const std::size_t length = BuildTypeField(path, rawName, name);
  if (length == 0 || !smtp.Send({g_transmitBuffer, length})) {
    return smtp.GiveUp(LogLine::kAttachmentTypeSendNg);
  }
  LineBuilder disposition = TransmitLine();
  BuildDispositionField(disposition, rawName, name);
  if (!SendBuilt(smtp, disposition)) {
    return smtp.GiveUp(LogLine::kDispositionSendNg);
  }
  LineBuilder description = TransmitLine();
  BuildDescriptionField(description, rawName, name);
  if (!SendBuilt(smtp, description)) {
    return smtp.GiveUp(LogLine::kDescriptionSendNg);
  }
  if (!SendText(smtp, "Content-Transfer-Encoding: base64\r\n\r\n")) {
    return smtp.GiveUp(LogLine::kAttachmentEncodingSendNg);
  }
  return 0;
}

// Closes the file, then gives up the connection.
ResultCode CloseFileAndFail(Exchange& smtp, FileHandle file, LogLine fail) {
  CurrentPlatform().CloseFile(file);
  return smtp.GiveUp(fail);
}

// Fills the chunk unless the file ends first; a short line can then only
// be the last one of the file.
bool ReadBatch(FileHandle file, std::size_t* filled, bool* atEnd) {
  *filled = 0;
  *atEnd = false;
  while (*filled < kAttachmentChunkSize) {
    std::size_t got = 0;
    if (!CurrentPlatform().ReadChunk(file, g_attachmentChunk + *filled,
                                     kAttachmentChunkSize - *filled, &got)) {
      return false;
    }
    if (got == 0) {
      *atEnd = true;
      break;
    }
    *filled += got;
  }
  return true;
}

// Base64 lines of the chunk, each ending in CR LF; returns their length.
std::size_t EncodeLines(std::size_t filled) {
  std::size_t out = 0;
  for (std::size_t at = 0; at < filled; at += kBytesPerLine) {
    const std::size_t n = filled - at < kBytesPerLine ? filled - at : kBytesPerLine;
    int length = 0;
    Base64Codec::Encode(g_transmitBuffer + out, &length, g_attachmentChunk + at,
                        static_cast<int>(n));
    out += static_cast<std::size_t>(length);
    g_transmitBuffer[out++] = '\r';
    g_transmitBuffer[out++] = '\n';
  }
  return out;
}

ResultCode SendFileAsBase64(Exchange& smtp, const char* path) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  const FileHandle file = platform.OpenForReading(path, &error);
  if (file == kInvalidFile) {
    return smtp.GiveUp(LogLine::kAttachmentOpenNg);
  }
  if (!platform.SeekToStart(file)) {
    return CloseFileAndFail(smtp, file, LogLine::kAttachmentSeekNg);
  }
  bool atEnd = false;
  while (!atEnd) {
    std::size_t filled = 0;
    const bool read = ReadBatch(file, &filled, &atEnd);
    // The lines read before a failed read go out first, as they would have
    // one read at a time.
    const std::size_t length = EncodeLines(filled);
    if (length > 0 && !smtp.Send({g_transmitBuffer, length})) {
      return CloseFileAndFail(smtp, file, LogLine::kAttachmentDataSendNg);
    }
    if (!read) {
      return CloseFileAndFail(smtp, file, LogLine::kAttachmentReadNg);
    }
  }
  platform.CloseFile(file);
  return 0;
}

}  // namespace

ResultCode SendAttachmentPart(Exchange& smtp, const char* path, std::string_view boundary) {
  const char* rawName = FileNameOfPath(path);
  const char* name = HeaderFileName(rawName, g_headerFileName);
  ResultCode r = SendAttachmentHeader(smtp, path, rawName, name, boundary);
  if (r != 0) return r;
  return SendFileAsBase64(smtp, path);
}

}  // namespace tarnlet
