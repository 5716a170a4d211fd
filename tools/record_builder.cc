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
  if (auth == "cram-md5") return 1;
  if (auth == "pop") return 2;
  if (auth == "none") return 0;
  throw ToolError(kExitUsage, "--auth: \"" + auth + "\" is none of none, cram-md5, pop");
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

void PutText(MailSettings* settings, const char* name, const std::string& bytes,
             const std::string& option) {
  const RecordField& field = FieldNamed(name);
  if (bytes.size() >= field.width) {
    throw ToolError(kExitData, option + ": " + std::to_string(bytes.size()) +
                                   " bytes in Shift-JIS; " + name + " holds at most " +
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

  auto text = [&](const char* field, const std::string& typed, const std::string& option) {
    PutText(&settings, field, ToShiftJis(typed, argumentEncoding, option), option);
  };
  text("UserName", options.user, "--user");
  PutText(&settings, "Password", options.password, "the password");
  text("SMTPServerAddress", options.server, "--server");
  // Validation wants a POP3 server even when no POP3 login is made.
  text("POP3ServerAddress", options.popServer.empty() ? options.server : options.popServer,
       options.popServer.empty() ? "--server" : "--pop-server");
  text("Address", Joined(options.to), "--to");
  text("Cc", Joined(options.cc), "--cc");
  text("Bcc", Joined(options.bcc), "--bcc");
  text("Subject", options.subject, "--subject");
  text("sReply_To", options.replyTo, "--reply-to");
  text("Boundary", options.boundary, "--boundary");
  text("X_MailerName", options.xMailer, "--x-mailer");
  text("MyHostFQDNName", options.hostName, "--host-name");
  text("MyMailAddress", options.from, "--from");
  text("MyMailAddressComt", options.fromName, "--from-name");
  std::vector<std::string> paths;
  for (const std::string& typed : options.attach) {
    paths.push_back(stage->Add(typed, argumentEncoding));
  }
  PutText(&settings, "AppendFile", Joined(paths), "--attach");
  return settings;
}

}  // namespace tool
}  // namespace tarnlet
