// Shows a settings record to a person and explains why the library's checks
// would refuse it.
#ifndef TARNLET_TOOLS_SETTINGS_REPORT_H_
#define TARNLET_TOOLS_SETTINGS_REPORT_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tarnlet.h"

namespace tarnlet {
namespace tool {

struct Verdict {
  std::int32_t code;                 // 0 passes, else -32 or -30
  std::vector<std::string> reasons;  // for a failure: what is wrong, field by field
};

// The checks a call makes before any network work, in their order: the
// recipient check (-32), then validation (-30). The reasons are the
// command's own reading; the library's check decides (see check_command).
Verdict JudgeSettings(const MailSettings& settings);

// Every field, grouped by INI section, texts shown in the terminal's
// encoding; the password is never shown.
void PrintSettings(const MailSettings& settings, std::ostream& out);

// For each text the library converts from Shift-JIS (the Subject, the
// sender name, the attachment list) and for body when given: a line such as
// "Subject: not Shift-JIS; it reads as UTF-8: ..." when it is not Shift-JIS.
std::vector<std::string> ShiftJisProblems(const MailSettings& settings, const std::string* body);

// Opens each attachment as a call does (the library's own splitting of
// AppendFile, the platform's open) and returns a line for each that cannot
// be opened, which a call would only find after DATA (-11).
std::vector<std::string> UnopenableAttachments(const MailSettings& settings);

void PrintVerdict(const Verdict& verdict, std::ostream& out);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_SETTINGS_REPORT_H_
