#include "text_convert.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>

#include "codec/sjis.h"
#include "system/tool_support.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

const char kShiftJis[] = "CP932";

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// JIS X 0208 characters that Unicode spells in two ways: the JIS-derived
// tables use the first, code page 932 the second. Both stand for the same
// JIS code, so the first is sent as that code rather than refused.
char32_t Cp932Spelling(char32_t c) {
  switch (c) {
    case 0x301C:
      return 0xFF5E;  // wave dash
    case 0x2016:
      return 0x2225;  // double vertical line
    case 0x2212:
      return 0xFF0D;  // minus sign
    case 0x00A2:
      return 0xFFE0;  // cent sign
    case 0x00A3:
      return 0xFFE1;  // pound sign
    case 0x00AC:
      return 0xFFE2;  // not sign
    case 0x2014:
      return 0x2015;  // em dash (JIS 1-1-29)
    default:
      return c;
  }
}

// Code page 932 on Windows maps these to the single bytes 0x80, 0xA0, 0xFD,
// 0xFE and 0xFF, which hold no JIS character and which iconv refuses; they
// are refused on every system.
bool IsBareByte(char32_t c) { return c == 0x80 || (c >= 0xF8F0 && c <= 0xF8F3); }

// A full-width form a person may mean instead, for the message.
char32_t Suggestion(char32_t c) {
  switch (c) {
    case 0x00A5:
      return 0xFFE5;  // yen sign
    case 0x203E:
      return 0xFFE3;  // overline
    default:
      return 0;
  }
}

std::string Hex(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// The character in quotes as the terminal shows it, or "" when it cannot.
std::string Shown(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return "";
  std::string bytes;
  if (!EncodeChar(c, MessageEncoding(), &bytes)) return "";
  return " \"" + bytes + "\"";
}

struct Position {
  int line = 1;
  int column = 1;
  bool multiline = false;
};

Position PositionAfter(const std::u32string& before, const std::string& wholeText) {
  Position position;
  for (char32_t c : before) {
    if (c == U'\n') {
      ++position.line;
      position.column = 1;
    } else {
      ++position.column;
    }
  }
  position.multiline = wholeText.find('\n') != std::string::npos;
  return position;
}

std::string Where(const std::string& where, const Position& position) {
  std::string text = where + ", ";
  if (position.multiline) text += "line " + std::to_string(position.line) + ", ";
  return text + "column " + std::to_string(position.column);
}

void RefuseNul(const std::string& text, const std::string& where) {
  std::size_t nul = text.find('\0');
  if (nul == std::string::npos) return;
  Position position;
  position.multiline = text.find('\n') != std::string::npos;
  for (std::size_t i = 0; i < nul; ++i) {
    if (text[i] == '\n') {
      ++position.line;
      position.column = 1;
    } else {
      ++position.column;  // bytes: the text may not decode
    }
  }
  throw ToolError(
      kExitData, Where(where, position) + ": a NUL byte; the library's texts end at the first NUL");
}

}  // namespace

bool IsShiftJisName(const std::string& encoding) {
  std::string name = Lowercase(encoding);
  return name == "sjis" || name == "shift_jis" || name == "shift-jis" || name == "cp932" ||
         name == "ms932" || name == "windows-31j" || name == "932";
}

std::string ToShiftJis(const std::string& text, const std::string& encoding,
                       const std::string& where) {
  RefuseNul(text, where);
  if (IsShiftJisName(encoding)) return text;
  if (!IsKnownEncoding(encoding)) {
    throw ToolError(kExitUsage, "unknown text encoding \"" + encoding + "\"");
  }
  std::u32string characters;
  std::size_t bad = 0;
  if (!DecodeText(text, encoding, &characters, &bad)) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[bad]));
    throw ToolError(kExitData, Where(where, PositionAfter(characters, text)) + ": byte " + byte +
                                   " is not valid " + encoding + " text");
  }
  std::size_t start = (!characters.empty() && characters[0] == 0xFEFF) ? 1 : 0;
  std::string sjis;
  sjis.reserve(characters.size() * 2);
  // Each distinct character is asked of the converter once; ASCII is the
  // same byte in Shift-JIS and needs no asking.
  std::unordered_map<char32_t, std::string> known;
  for (std::size_t i = start; i < characters.size(); ++i) {
    char32_t c = characters[i];
    if (c < 0x80) {
      sjis += static_cast<char>(c);
      continue;
    }
    auto hit = known.find(c);
    if (hit != known.end()) {
      sjis += hit->second;
      continue;
    }
    std::string bytes;
    if (IsBareByte(c) || !EncodeChar(Cp932Spelling(c), kShiftJis, &bytes)) {
      std::u32string before = characters.substr(start, i - start);
      std::string message = Where(where, PositionAfter(before, text)) + ": " + Hex(c) + Shown(c) +
                            " has no Shift-JIS (code page 932) form";
      if (char32_t instead = Suggestion(c)) {
        message += "; the full-width " + Hex(instead) + Shown(instead) + " has one";
      }
      throw ToolError(kExitData, message);
    }
    sjis += bytes;
    known.emplace(c, std::move(bytes));
  }
  return sjis;
}

std::string ShiftJisProblem(const std::string& text, const std::string& where) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.c_str());
  const unsigned char* end = p + text.size();
  bool valid = true;
  while (p < end && valid) {
    if (StartsSjisPair(p)) {
      p += 2;
      continue;
    }
    valid = !IsSjisLeadByte(*p) && *p != 0x80 && *p < 0xFD;
    ++p;
  }
  if (valid) return "";
  std::u32string characters;
  std::size_t bad = 0;
  if (!DecodeText(text, "UTF-8", &characters, &bad)) return where + ": not Shift-JIS";
  return where + ": not Shift-JIS; it reads as UTF-8: " + ForTerminal(text, "UTF-8");
}

std::string MessageEncoding() { return ArgumentEncoding(DefaultTextEncoding()); }

std::string ShiftJisForTerminal(const std::string& sjis) {
  return ForTerminal(sjis, kShiftJis, TerminalEncoding());
}

std::string ForTerminal(const std::string& text, const std::string& encoding) {
  return ForTerminal(text, encoding, TerminalEncoding());
}

std::string ForTerminal(const std::string& text, const std::string& encoding,
                        const std::string& terminal) {
  std::string shown;
  std::size_t at = 0;
  while (at < text.size()) {
    std::u32string characters;
    std::size_t bad = 0;
    std::string rest = text.substr(at);
    bool whole = DecodeText(rest, encoding, &characters, &bad);
    for (char32_t c : characters) {
      std::string bytes;
      shown += EncodeChar(c, terminal, &bytes) ? bytes : std::string("?");
    }
    if (whole) break;
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(rest[bad]));
    shown += escape;
    at += bad + 1;
  }
  return shown;
}

}  // namespace tool
}  // namespace tarnlet
