#include "mail/file_name_fields.h"

#include <cstring>

#include "codec/encoded_word.h"
#include "codec/iso2022jp.h"
#include "frame/globals.h"
#include "mail/attachments.h"
#include "mail/folded_field.h"

namespace tarnlet {
namespace {

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

void AddWord(void* context, const char* word) {
  static_cast<FoldedField*>(context)->Item(" ", word);
}

}  // namespace

std::size_t BuildTypeField(const char* path, const char* rawName, const char* name) {
  const std::size_t length =
      BuildContentTypeLine(path, g_transmitBuffer, kTransmitBufferSize, name);
  if (name == rawName || (length != 0 && length - 2 <= kMaxLineOctets)) return length;
  // The word of a long name becomes several, folded inside the quotes.
  LineBuilder line = TransmitLine();
  line.Add("Content-Type: ").Add(MimeTypeForPath(path)).Add(";\r\n");
  FoldedField field(line, " name=\"", kEncodedWordLineOctets);
  EncodeHeaderWords(rawName, kMaxEncodedWord, &AddWord, &field);
  field.Add("\"");
  field.End();
  return line.overflowed() ? 0 : line.size();
}

void BuildDispositionField(LineBuilder& line, const char* rawName, const char* name) {
  if (IsAscii(rawName)) {
    line.Add("Content-Disposition: attachment; filename=\"").Add(name).Add("\"\r\n");
  } else {
    BuildDispositionOutsideAscii(line, rawName);
  }
}

void BuildDescriptionField(LineBuilder& line, const char* rawName, const char* name) {
  if (name == rawName) {
    line.Add("Content-Description: \"").Add(name).Add("\"\r\n");
    return;
  }
  // An encoded word stands bare in an unstructured field (RFC 2047 5).
  FoldedField field(line, "Content-Description: ", kEncodedWordLineOctets);
  if (21 + std::strlen(name) <= kMaxLineOctets) {
    field.Add(name);
  } else {
    EncodeHeaderWords(rawName, kMaxEncodedWord, &AddWord, &field);
  }
  field.End();
}

}  // namespace tarnlet
