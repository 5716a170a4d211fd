// Text conversion of the tarnlet command through the Windows code pages.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {
namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// 0 for a name this system does not know.
UINT CodePageOf(const std::string& encoding) {
  std::string name = Lowercase(encoding);
  if (name == "utf-8" || name == "utf8") return CP_UTF8;
  if (name == "cp932" || name == "sjis" || name == "shift_jis" || name == "shift-jis" ||
      name == "ms932" || name == "windows-31j") {
    return 932;
  }
  if (name == "euc-jp" || name == "eucjp") return 20932;
  if (name == "ansi" || name == "acp") return GetACP();
  if (name.compare(0, 2, "cp") == 0) name = name.substr(2);
  if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos ||
      name.size() > 5) {
    return 0;
  }
  return static_cast<UINT>(std::atoi(name.c_str()));
}

// Code pages whose conversions refuse the strict flags.
bool TakesNoFlags(UINT codePage) {
  return (codePage >= 50220 && codePage <= 50229) || codePage == 65000 || codePage == 42 ||
         (codePage >= 57002 && codePage <= 57011);
}

// Decodes one whole character, or fails.
bool DecodeOne(UINT codePage, const char* bytes, int length, std::wstring* out) {
  DWORD flags = TakesNoFlags(codePage) ? 0 : MB_ERR_INVALID_CHARS;
  wchar_t units[8];
  int got = MultiByteToWideChar(codePage, flags, bytes, length, units, 8);
  if (got <= 0) return false;
  out->assign(units, static_cast<std::size_t>(got));
  return true;
}

void AppendScalars(const std::wstring& units, std::u32string* out) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = static_cast<char16_t>(units[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
      char32_t low = static_cast<char16_t>(units[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out->push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    out->push_back(unit);
  }
}

std::wstring Utf16Of(char32_t c) {
  std::wstring units;
  if (c >= 0x10000) {
    c -= 0x10000;
    units += static_cast<wchar_t>(0xD800 + (c >> 10));
    units += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
  } else {
    units += static_cast<wchar_t>(c);
  }
  return units;
}

}  // namespace

bool IsKnownEncoding(const std::string& encoding) {
  UINT codePage = CodePageOf(encoding);
  return codePage != 0 && IsValidCodePage(codePage);
}

// Character by character: the shortest run of bytes that decodes on its own
// is one character, so the first undecodable byte is found exactly.
bool DecodeText(const std::string& bytes, const std::string& encoding, std::u32string* out,
                std::size_t* badOffset) {
  UINT codePage = CodePageOf(encoding);
  out->clear();
  if (codePage == 0) {  // 0 would mean the ANSI code page to the system
    *badOffset = 0;
    return bytes.empty();
  }
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::wstring units;
    int length = 1;
    for (; length <= 4 && at + static_cast<std::size_t>(length) <= bytes.size(); ++length) {
      if (DecodeOne(codePage, bytes.data() + at, length, &units)) break;
    }
    if (units.empty()) {
      *badOffset = at;
      return false;
    }
    AppendScalars(units, out);
    at += static_cast<std::size_t>(length);
  }
  return true;
}

bool EncodeChar(char32_t character, const std::string& encoding, std::string* out) {
  UINT codePage = CodePageOf(encoding);
  if (codePage == 0) return false;  // 0 would mean the ANSI code page
  std::wstring units = Utf16Of(character);
  char bytes[16];
  BOOL usedDefault = FALSE;
  bool strict = !TakesNoFlags(codePage) && codePage != CP_UTF8;
  DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
  int got = WideCharToMultiByte(codePage, flags, units.data(), static_cast<int>(units.size()),
                                bytes, sizeof bytes, nullptr, strict ? &usedDefault : nullptr);
  if (got <= 0 || usedDefault) return false;
  std::wstring back;
  wchar_t backUnits[8];
  int backGot = MultiByteToWideChar(codePage, 0, bytes, got, backUnits, 8);
  if (backGot <= 0) return false;
  back.assign(backUnits, static_cast<std::size_t>(backGot));
  if (back != units) return false;
  out->assign(bytes, static_cast<std::size_t>(got));
  return true;
}

std::string DefaultTextEncoding() { return std::to_string(GetACP()); }

std::string TerminalEncoding() {
  UINT codePage = GetConsoleOutputCP();
  return std::to_string(codePage != 0 ? codePage : GetACP());
}

std::string ArgumentEncoding(const std::string&) { return "UTF-8"; }

}  // namespace tool
}  // namespace tarnlet
