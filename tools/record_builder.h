// Fills a MailSettings record from the options of "tarnlet send".
#ifndef TARNLET_TOOLS_RECORD_BUILDER_H_
#define TARNLET_TOOLS_RECORD_BUILDER_H_

#include <string>
#include <vector>

#include "frame/settings_fields.h"
#include "tarnlet.h"

namespace tarnlet {
namespace tool {

struct SendOptions {
  std::string server;
  int port = 25;
  std::string from;
  std::string fromName;
  std::vector<std::string> to;
  std::vector<std::string> cc;
  std::vector<std::string> bcc;
  std::string replyTo;
  std::string subject;
  std::vector<std::string> attach;  // paths as typed
  std::string auth = "none";        // none, cram-md5 or login, pop
  std::string user;
  std::string password;   // bytes as read, never typed
  std::string popServer;  // empty: the SMTP server
  int popPort = 110;
  bool apop = false;
  std::string hostName = "localhost";
  std::string xMailer;
  std::string boundary;
};

class AttachmentStage;

// Builds the record for Tarnlet1 with Startup 1 and an empty Log. Typed
// texts are in argumentEncoding and are converted to Shift-JIS; attachments
// go through stage, which must outlive the call of the library. Throws
// ToolError for a text that cannot be converted, a value longer than its
// field (naming both and the limit), and an attachment the library cannot
// take.
MailSettings BuildRecord(const SendOptions& options, const std::string& argumentEncoding,
                         AttachmentStage* stage);

// The library path for a path typed as option's value. Throws
// ToolError(kExitData) when the system's ANSI code page cannot hold it.
std::string LibraryPathOf(const std::string& typed, const std::string& option);

// Stores bytes in a text field. Throws ToolError(kExitData) naming what
// (an option, or "the password") and the field's limit when they do not fit
// with their NUL.
void PutText(MailSettings* settings, Field field, const std::string& bytes,
             const std::string& what);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_RECORD_BUILDER_H_
