#include "record_builder.h"

#include <cstring>

#include "attachment_stage.h"
#include "record_fields.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

std::string Joined(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) {
    if (!joined.empty()) joined += ';';
    joined += part;
  }
  return joined;
}

std::int16_t KindOf(const std::string& auth) {
  std::string words;
  for (const AuthChoice& choice : kAuthChoices) {
    if (auth == choice.word) return choice.kind;
    words += words.empty() ? "" : ", ";
    words += choice.word;
  }
  if (auth == kLoginAuthWord) return 1;
  words += std::string(", ") + kLoginAuthWord;
  throw ToolError(kExitUsage, "--auth: \"" + auth + "\" is none of " + words);
}

}  // namespace

std::string LibraryPathOf(const std::string& typed, const std::string& option) {
  std::string path;
  if (!LibraryPathFromArgument(typed, &path)) {
    throw ToolError(kExitData, option + " \"" + typed +
                                   "\": the path has a character the system's ANSI code page "
                                   "cannot hold");
  }
  return path;
}

void PutText(MailSettings* settings, Field id, const std::string& bytes, const std::string& what) {
  const RecordField& field = FieldOf(id);
  if (bytes.size() >= field.width) {
    throw ToolError(kExitData, what + ": " + std::to_string(bytes.size()) +
                                   " bytes in Shift-JIS; " + field.name + " holds at most " +
                                   std::to_string(field.width - 1));
  }
  char* destination = reinterpret_cast<char*>(settings) + field.offset;
  std::memset(destination, 0, field.width);
  std::memcpy(destination, bytes.data(), bytes.size());
}

MailSettings BuildRecord(const SendOptions& options, const std::string& argumentEncoding,
                         AttachmentStage* stage) {
  MailSettings settings;
  std::memset(&settings, 0, sizeof settings);
  settings.Startup = 1;
  settings.Kind = KindOf(options.auth);
  settings.APOP = options.apop ? 1 : 0;
  settings.SMTPPortNo = static_cast<std::uint16_t>(options.port);
  settings.POP3PortNo = static_cast<std::uint16_t>(options.popPort);

  // Typed text into field; errors name option, by default the field's own.
  auto text = [&](Field field, const std::string& typed, const char* option = nullptr) {
    if (option == nullptr) option = FieldOf(field).option;
    PutText(&settings, field, ToShiftJis(typed, argumentEncoding, option), option);
  };
  text(Field::kUserName, options.user);
  PutText(&settings, Field::kPassword, options.password, "the password");
  text(Field::kSMTPServerAddress, options.server);
  // Validation wants a POP3 server even when no POP3 login is made.
  if (options.popServer.empty()) {
    text(Field::kPOP3ServerAddress, options.server, FieldOf(Field::kSMTPServerAddress).option);
  } else {
    text(Field::kPOP3ServerAddress, options.popServer);
  }
  text(Field::kAddress, Joined(options.to));
  text(Field::kCc, Joined(options.cc));
  text(Field::kBcc, Joined(options.bcc));
  text(Field::kSubject, options.subject);
  text(Field::ksReply_To, options.replyTo);
  text(Field::kBoundary, options.boundary);
  text(Field::kX_MailerName, options.xMailer);
  text(Field::kMyHostFQDNName, options.hostName);
  text(Field::kMyMailAddress, options.from);
  text(Field::kMyMailAddressComt, options.fromName);
  std::vector<std::string> paths;
  for (const std::string& typed : options.attach) {
    paths.push_back(stage->Add(typed, argumentEncoding));
  }
  PutText(&settings, Field::kAppendFile, Joined(paths), FieldOf(Field::kAppendFile).option);
  return settings;
}

}  // namespace tool
}  // namespace tarnlet
