// One attachment part: its header lines and the file as base64 lines.
#include <cstddef>
#include <cstring>

#include "codec/base64.h"
#include "codec/iso2022jp.h"
#include "frame/globals.h"
#include "mail/attachments.h"
#include "mail/folded_field.h"
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
char g_jisFileName[Iso2022JpCapacity(kAttachmentPathCapacity - 1)];

bool IsAscii(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  }
  return true;
}

// Letters, digits and "-._~" pass (all RFC 2231 attribute-chars); every
// other octet becomes %XX.
bool IsAttributeChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         (c != 0 && std::strchr("-._~", c) != nullptr);
}

std::size_t PercentLength(const char* text) {
  std::size_t n = 0;
  for (const char* p = text; *p != '\0'; ++p)
    n += IsAttributeChar(static_cast<unsigned char>(*p)) ? 1 : 3;
  return n;
}

// Adds the octets of text from *at on, up to limit characters of their
// encoded form (whole %XX triplets only), and moves *at past them.
void AddPercentEncoded(FoldedField& field, const char* text, std::size_t* at, std::size_t limit) {
  static const char kHex[] = "0123456789ABCDEF";
  std::size_t used = 0;
  for (; text[*at] != '\0'; ++*at) {
    const unsigned char c = static_cast<unsigned char>(text[*at]);
    if (IsAttributeChar(c)) {
      if (used + 1 > limit) return;
      const char one[1] = {static_cast<char>(c)};
      field.Add({one, 1});
      used += 1;
    } else {
      if (used + 3 > limit) return;
      const char triplet[3] = {'%', kHex[c >> 4], kHex[c & 15]};
      field.Add({triplet, 3});
      used += 3;
    }
  }
}

// filename*= with the ISO-2022-JP octets (RFC 2231 4), split into numbered
// sections on folded lines when one line would be too long (RFC 2231 3).
void BuildDispositionOutsideAscii(LineBuilder& line, const char* name) {
  SjisToIso2022Jp(name, g_jisFileName);
  constexpr char kStart[] = "Content-Disposition: attachment; filename*=ISO-2022-JP''";
  const std::size_t length = PercentLength(g_jisFileName);
  std::size_t at = 0;
  if (sizeof kStart - 1 + length <= kMaxLineOctets) {
    FoldedField field(line, kStart);
    AddPercentEncoded(field, g_jisFileName, &at, length);
    field.End();
    return;
  }
  constexpr std::size_t kSection = 50;  // lines stay within 78 octets (RFC 5322 2.1.1)
  FoldedField field(line, "Content-Disposition: attachment;");
  for (int k = 0; g_jisFileName[at] != '\0'; ++k) {
    char number[16];
    std::size_t digits = 0;
    for (int v = k; v > 0 || digits == 0; v /= 10)
      number[digits++] = static_cast<char>('0' + v % 10);
    field.Fold(k == 0 ? "" : ";");
    field.Add("filename*");
    while (digits > 0) field.Add({&number[--digits], 1});
    field.Add(k == 0 ? "*=ISO-2022-JP''" : "*=");
    AddPercentEncoded(field, g_jisFileName, &at, kSection);
  }
  field.End();
}

void AddQuotedWord(void* context, const char* word) {
  static_cast<FoldedField*>(context)->Item(" ", word);
}

// rawName is the name as the path holds it; name is its header form.
ResultCode SendAttachmentHeader(MailSender& sender, SocketHandle socket, const char* path,
                                const char* rawName, const char* name, std::string_view boundary) {
  LineBuilder delimiter = TransmitLine();
  delimiter.Add("\r\n--").Add(boundary).Add("\r\n");
  if (!SendBuilt(sender, socket, delimiter)) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-086\r\n", -4);
  }
  const bool encoded = name != rawName;
  std::size_t length = BuildContentTypeLine(path, g_transmitBuffer, kTransmitBufferSize, name);
  if (encoded && (length == 0 || length - 2 > kMaxLineOctets)) {
    // The word of a long name becomes several, folded inside the quotes.
    LineBuilder line = TransmitLine();
    line.Add("Content-Type: ").Add(MimeTypeForPath(path)).Add(";\r\n");
    FoldedField field(line, " name=\"", kEncodedWordLineOctets);
    EncodeHeaderWords(rawName, kMaxEncodedWord, &AddQuotedWord, &field);
    field.Add("\"");
    field.End();
    length = line.overflowed() ? 0 : line.size();
  }
  if (length == 0 || !sender.SendAll(socket, g_transmitBuffer, length)) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-087\r\n", -4);
  }
  LineBuilder disposition = TransmitLine();
  if (IsAscii(rawName)) {
    disposition.Add("Content-Disposition: attachment; filename=\"").Add(name).Add("\"\r\n");
  } else {
    BuildDispositionOutsideAscii(disposition, rawName);
  }
  if (!SendBuilt(sender, socket, disposition)) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-088\r\n", -4);
  }
  LineBuilder description = TransmitLine();
  if (!encoded) {
    description.Add("Content-Description: \"").Add(name).Add("\"\r\n");
  } else {
    // An encoded word stands bare in an unstructured field (RFC 2047 5).
    FoldedField field(description, "Content-Description: ", kEncodedWordLineOctets);
    if (21 + std::strlen(name) <= kMaxLineOctets) {
      field.Add(name);
    } else {
      EncodeHeaderWords(rawName, kMaxEncodedWord, &AddQuotedWord, &field);
    }
    field.End();
  }
  if (!SendBuilt(sender, socket, description)) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-089\r\n", -4);
  }
  if (!SendText(sender, socket, "Content-Transfer-Encoding: base64\r\n\r\n")) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-090\n", -4);
  }
  return 0;
}

// Closes the file, then gives up the connection.
ResultCode CloseFileAndFail(MailSender& sender, SocketHandle socket, FileHandle file,
                            const char* message, ResultCode code) {
  CurrentPlatform().CloseFile(file);
  return CloseAndFail(sender, socket, message, code);
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

ResultCode SendFileAsBase64(MailSender& sender, SocketHandle socket, const char* path) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  const FileHandle file = platform.OpenForReading(path, &error);
  if (file == kInvalidFile) {
    return CloseAndFail(sender, socket, "SMTP SND : Image File Open Ng-091\n", -11);
  }
  if (!platform.SeekToStart(file)) {
    return CloseFileAndFail(sender, socket, file, "SMTP SND : Image File Pointer Move Ng-092\n",
                            -11);
  }
  bool atEnd = false;
  while (!atEnd) {
    std::size_t filled = 0;
    const bool read = ReadBatch(file, &filled, &atEnd);
    // The lines read before a failed read go out first, as they would have
    // one read at a time.
    const std::size_t length = EncodeLines(filled);
    if (length > 0 && !sender.SendAll(socket, g_transmitBuffer, length)) {
      return CloseFileAndFail(sender, socket, file, "SMTP SND : Image Dat Snd Ng-094\n", -4);
    }
    if (!read) {
      return CloseFileAndFail(sender, socket, file, "SMTP SND : Image File Read Ng-093\n", -11);
    }
  }
  platform.CloseFile(file);
  return 0;
}

}  // namespace

ResultCode SendAttachmentPart(MailSender& sender, SocketHandle socket, const char* path,
                              std::string_view boundary) {
  const char* rawName = FileNameOfPath(path);
  const char* name = HeaderFileName(rawName, g_headerFileName);
  ResultCode r = SendAttachmentHeader(sender, socket, path, rawName, name, boundary);
  if (r != 0) return r;
  return SendFileAsBase64(sender, socket, path);
}

}  // namespace tarnlet
