// Text between the terminal, the record and the log: typed or read text into
// the Shift-JIS (code page 932) bytes the library takes, and Shift-JIS bytes
// back into what the terminal shows.
#ifndef TARNLET_TOOLS_TEXT_CONVERT_H_
#define TARNLET_TOOLS_TEXT_CONVERT_H_

#include <string>

namespace tarnlet {
namespace tool {

// True for the names under which text is taken to be Shift-JIS already
// ("sjis", "cp932", "shift_jis" ...): its bytes pass through unchanged.
bool IsShiftJisName(const std::string& encoding);

// Converts text in encoding to Shift-JIS. Nothing is replaced: a byte that
// is not valid in encoding, a character code page 932 cannot hold, and a NUL
// (the library's texts end there) throw ToolError(kExitData) naming the
// character, the text (where, e.g. "--subject") and its line and column.
// A leading byte-order mark is dropped.
std::string ToShiftJis(const std::string& text, const std::string& encoding,
                       const std::string& where);

// "" when text is Shift-JIS as the library pairs it (every lead byte with a
// trail byte; no 0x80, 0xFD-0xFF); else where + ": not Shift-JIS", and when
// the text is UTF-8, "; it reads as UTF-8: " and the text as the terminal
// shows it. The library sends such bytes as the geta mark.
std::string ShiftJisProblem(const std::string& text, const std::string& where);

// Text in encoding as the terminal (or the encoding shown) shows it. Bytes
// that do not decode appear as \xNN, characters the terminal cannot show as
// '?'.
std::string ForTerminal(const std::string& text, const std::string& encoding);
std::string ForTerminal(const std::string& text, const std::string& encoding,
                        const std::string& shown);
// Shift-JIS bytes (log lines, record fields) as the terminal shows them.
std::string ShiftJisForTerminal(const std::string& sjis);

// The encoding of the command's messages: that of its arguments, which the
// messages quote (the locale's on POSIX, UTF-8 on Windows).
std::string MessageEncoding();

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_TEXT_CONVERT_H_
