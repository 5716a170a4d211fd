#include "settings_report.h"

#include <iomanip>

#include "mail/attachments.h"
#include "platform/platform.h"
#include "record_fields.h"
#include "result_codes.h"
#include "text_convert.h"

namespace tarnlet {
namespace tool {
namespace {

const char* KindMeaning(int kind) {
  for (const AuthChoice& choice : kAuthChoices) {
    if (kind == choice.kind) return choice.meaning;
  }
  return "not a valid kind";
}

std::string ValueShown(const MailSettings& settings, const RecordField& field) {
  if (field.type != FieldType::kText) {
    int number = NumberOf(settings, field);
    std::string shown = std::to_string(number);
    if (field.id == Field::kKind) shown += "  (" + std::string(KindMeaning(number)) + ")";
    return shown;
  }
  std::string text = TextOf(settings, field);
  if (field.id == Field::kPassword) return text.empty() ? "" : "(set, not shown)";
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
  for (const RecordField& field : kRecordFields) {
    if (field.presence == Presence::kRequired && TextOf(settings, field).empty())
      reasons.push_back(std::string(field.name) + " is empty");
  }
  for (const RecordField& field : kRecordFields) {
    if (field.type != FieldType::kText) continue;
    std::string text = TextOf(settings, field);
    if (text.size() == field.width) {
      reasons.push_back(std::string(field.name) + " has no NUL within its " +
                        std::to_string(field.width) + " bytes");
    } else if (field.sent == WireForm::kAsWritten &&
               text.find_first_of("\r\n") != std::string::npos) {
      reasons.push_back(std::string(field.name) + " holds a line break (CR or LF)");
    }
  }
  if (!reasons.empty()) verdict.code = -30;
  return verdict;
}

std::vector<std::string> ShiftJisProblems(const MailSettings& settings, const std::string* body) {
  std::vector<std::string> problems;
  for (const RecordField& field : kRecordFields) {
    if (field.sent != WireForm::kEncoded && field.id != Field::kAppendFile) continue;
    std::string problem = ShiftJisProblem(TextOf(settings, field), field.name);
    if (!problem.empty()) problems.push_back(problem);
  }
  if (body != nullptr) {
    std::string problem = ShiftJisProblem(*body, "body");
    if (!problem.empty()) problems.push_back(problem);
  }
  return problems;
}

std::vector<std::string> UnopenableAttachments(const MailSettings& settings) {
  std::vector<std::string> lines;
  const int count = SplitAttachmentList(settings.AppendFile);
  for (int k = 0; k < count; ++k) {
    int error = 0;
    const FileHandle file = CurrentPlatform().OpenForReading(AttachmentPath(k), &error);
    if (file != kInvalidFile) {
      CurrentPlatform().CloseFile(file);
      continue;
    }
    lines.push_back("AppendFile: \"" + ShiftJisForTerminal(AttachmentPath(k)) +
                    "\" cannot be opened (system error " + std::to_string(error) + ")");
  }
  return lines;
}

void PrintSettings(const MailSettings& settings, std::ostream& out) {
  std::string section;
  for (const RecordField& field : kRecordFields) {
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
