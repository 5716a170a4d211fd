// tarnlet check and tarnlet codes.
#include <fstream>
#include <iomanip>

#include "body_source.h"
#include "commands.h"
#include "frame/settings.h"
#include "record_builder.h"
#include "record_fields.h"
#include "result_codes.h"
#include "settings_report.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {

int RunCheck(const std::string& ini, const std::string& body, std::ostream& out,
             std::ostream& err) {
  std::string path = LibraryPathOf(ini, "--ini");
  path = AbsolutePath(path);
  if (!std::ifstream(path)) {
    err << "tarnlet: note: \"" << ForTerminal(ini, MessageEncoding())
        << "\" cannot be read; every setting is empty\n";
  }
  // The library's own loader and validation, so the file is read and judged
  // exactly as a call reads and judges it.
  MailSettings settings = LoadAsLibraryDoes(path);
  bool valid = ValidateSettings(settings);

  out << "settings as a call loads them from " << path << ":\n";
  PrintSettings(settings, out);

  Verdict verdict = JudgeSettings(settings);
  std::int32_t decided = (settings.Address[0] == '\0' && settings.Bcc[0] == '\0') ? -32
                         : valid                                                  ? 0
                                                                                  : -30;
  if (decided != verdict.code) {
    verdict.code = decided;
    verdict.reasons.clear();
    if (decided == -30) verdict.reasons.push_back("the library's validation refuses the record");
  }
  // A text that is not Shift-JIS passes the library's checks but goes out
  // garbled, so the command fails it.
  std::string bodyText;
  if (!body.empty()) bodyText = ReadWholeFile(body, "--body");
  std::vector<std::string> problems =
      ShiftJisProblems(settings, body.empty() ? nullptr : &bodyText);
  if (decided == 0 && !problems.empty()) {
    out << "checks: fail; a call sends these texts garbled, as they are not Shift-JIS\n";
    for (const std::string& problem : problems) out << "  - " << problem << "\n";
    return kExitData;
  }
  verdict.reasons.insert(verdict.reasons.end(), problems.begin(), problems.end());
  // A call would find these only after DATA, with the message half sent.
  std::vector<std::string> unopened = UnopenableAttachments(settings);
  if (decided == 0 && !unopened.empty()) decided = verdict.code = -11;
  verdict.reasons.insert(verdict.reasons.end(), unopened.begin(), unopened.end());
  PrintVerdict(verdict, out);
  return decided < 0 ? static_cast<int>(-decided) : 0;
}

int RunCodes(std::ostream& out) {
  out << "code  meaning\n";
  for (std::size_t i = 0; i < kResultCodeCount; ++i) {
    out << std::right << std::setw(4) << kResultCodes[i].code << "  " << kResultCodes[i].meaning
        << "\n";
  }
  out << "tarnlet send exits with the code's absolute value; 64 usage, 65 a text or value "
         "that cannot go into the record, 66 an unreadable input file.\n";
  return 0;
}

}  // namespace tool
}  // namespace tarnlet
