#include "settings_report.h"

#include <cstring>
#include <iomanip>

#include "record_fields.h"
#include "result_codes.h"
#include "text_convert.h"

namespace tarnlet {
namespace tool {
namespace {

// Fields that go on the wire as written: a CR or LF there would start a
// command or header line of its own, so validation refuses it. The others
// are encoded first or never sent.
bool SentAsWritten(const RecordField& field) {
  static const char* const kEncodedOrLocal[] = {"SMTPServerAddress", "POP3ServerAddress", "Subject",
                                                "MyMailAddressComt", "Log"};
  for (const char* name : kEncodedOrLocal) {
    if (std::strcmp(name, field.name) == 0) return false;
  }
  return true;
}

const char* KindMeaning(int kind) {
  switch (kind) {
    case 0:
      return "plain SMTP";
    case 1:
      return "SMTP AUTH CRAM-MD5";
    case 2:
      return "POP before SMTP";
    default:
      return "not a valid kind";
  }
}

std::string ValueShown(const MailSettings& settings, const RecordField& field) {
  if (field.type != FieldType::kText) {
    int number = NumberOf(settings, field);
    std::string shown = std::to_string(number);
    if (std::strcmp(field.name, "Kind") == 0)
      shown += "  (" + std::string(KindMeaning(number)) + ")";
    return shown;
  }
  std::string text = TextOf(settings, field);
  if (std::strcmp(field.name, "Password") == 0) return text.empty() ? "" : "(set, not shown)";
  std::string shown = ShiftJisForTerminal(text);
  if (text.size() == field.width) shown += "  (no NUL within its width)";
  return shown;
}

}  // namespace

Verdict JudgeSettings(const MailSettings& settings) {
  Verdict verdict{0, {}};
  if (settings.Address[0] == '\0' && settings.Bcc[0] == '\0') {
    verdict.code = -32;
    verdict.reasons.push_back("no recipient: Address (To) and Bcc are both empty");
    return verdict;
  }
  std::vector<std::string>& reasons = verdict.reasons;
  if (settings.Kind < 0 || settings.Kind > 2) {
    reasons.push_back("Kind is " + std::to_string(settings.Kind) + "; it must be 0, 1 or 2");
  }
  for (const char* name :
       {"SMTPServerAddress", "POP3ServerAddress", "MyHostFQDNName", "MyMailAddress"}) {
    if (TextOf(settings, FieldNamed(name)).empty())
      reasons.push_back(std::string(name) + " is empty");
  }
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    const RecordField& field = kRecordFields[i];
    if (field.type != FieldType::kText) continue;
    std::string text = TextOf(settings, field);
    if (text.size() == field.width) {
      reasons.push_back(std::string(field.name) + " has no NUL within its " +
                        std::to_string(field.width) + " bytes");
    } else if (SentAsWritten(field) && text.find_first_of("\r\n") != std::string::npos) {
      reasons.push_back(std::string(field.name) + " holds a line break (CR or LF)");
    }
  }
  if (!reasons.empty()) verdict.code = -30;
  return verdict;
}

void PrintSettings(const MailSettings& settings, std::ostream& out) {
  std::string section;
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    const RecordField& field = kRecordFields[i];
    if (section != field.section) {
      section = field.section;
      out << "[" << section << "]\n";
    }
    out << "  " << std::left << std::setw(18) << field.name << "= " << ValueShown(settings, field)
        << "\n";
  }
}

void PrintVerdict(const Verdict& verdict, std::ostream& out) {
  if (verdict.code == 0) {
    out << "checks: pass (recipients present, validation passes)\n";
    return;
  }
  out << "checks: fail; a call returns " << verdict.code << " (" << MeaningOf(verdict.code)
      << ")\n";
  for (const std::string& reason : verdict.reasons) out << "  - " << reason << "\n";
}

}  // namespace tool
}  // namespace tarnlet
