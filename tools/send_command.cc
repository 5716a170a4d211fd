// tarnlet send: builds or names the settings, calls the library once, and
// shows why a failed call failed.
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "attachment_stage.h"
#include "body_source.h"
#include "commands.h"
#include "log_watch.h"
#include "record_builder.h"
#include "record_fields.h"
#include "result_codes.h"
#include "settings_report.h"
#include "system/tool_support.h"
#include "tarnlet.h"
#include "text_convert.h"
#include "tool_error.h"
#include "trace_platform.h"

namespace tarnlet {
namespace tool {
namespace {

// The library logs in with a profile's token only for Kind 1 on the
// submission ports.
bool UsesOauthProfile(const SendOptions& options) {
  return options.auth != "pop" && (options.port == 465 || options.port == 587) &&
         HasOauthProfile(options.server, options.user);
}

// A password is never typed on the command line, where other users of the
// machine can read it. One line end at the end of the file is not part of it.
// A login with an OAuth profile needs none.
std::string ReadPassword(const SendRequest& request) {
  std::string password;
  if (!request.passwordFile.empty()) {
    password = ReadWholeFile(request.passwordFile, FieldOf(Field::kPassword).option);
    if (!password.empty() && password.back() == '\n') password.pop_back();
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else if (!ReadEnvironment("TARNLET_PASSWORD", &password) && request.options.auth != "none" &&
             !UsesOauthProfile(request.options)) {
    throw ToolError(kExitUsage, "--auth " + request.options.auth +
                                    " needs a password: --password-file FILE or the "
                                    "TARNLET_PASSWORD environment variable");
  }
  return password;
}

// The last command of the call and what the server answered, as the trace
// shows them; nothing when no connection was made.
void ReportLastExchange(const DialogueWatch& dialogue, std::ostream& err) {
  std::vector<TraceLine> last = dialogue.ReportedExchange();
  if (last.empty()) return;
  err << "the server's last reply:\n";
  // A note first is the connection's; one later says the server closed.
  bool replied = false;
  for (std::size_t i = 0; i < last.size(); ++i) {
    err << "  " << Shown(last[i]) << "\n";
    replied = replied || last[i].from == TraceLine::From::kServer ||
              (i > 0 && last[i].from == TraceLine::From::kNote);
  }
  if (!replied) err << "  (no reply)\n";
}

// A server that wants a login before it takes mail answers MAIL FROM with
// 530 (RFC 4954); a call that made none (HELO, no SMTP AUTH) needs Kind 1,
// which on port 587 also starts TLS.
void HintLogin(const DialogueWatch& dialogue, const MailSettings& settings, bool fromIni,
               std::ostream& err) {
  if (settings.Kind == 1) return;
  bool mailFrom = false;
  bool refused = false;
  for (const TraceLine& line : dialogue.ReportedExchange()) {
    if (line.from == TraceLine::From::kClient) mailFrom = line.text.rfind("MAIL FROM:", 0) == 0;
    if (line.from == TraceLine::From::kServer && line.text.rfind("530", 0) == 0) refused = true;
  }
  if (!mailFrom || !refused) return;
  err << "tarnlet: the server wants a login before it takes mail: "
      << (fromIni ? "set Kind=1 with UserName and Password in the INI file's [AUTH] section"
                  : "send with --auth login, --user NAME and the password (--password-file "
                    "FILE or TARNLET_PASSWORD)")
      << "; on port 587 the login starts TLS first (STARTTLS), on 465 TLS starts with the "
         "connection\n";
}

void ReportFailure(std::int32_t code, const MailSettings& settings, const LogWatch* log,
                   std::ostream& err) {
  err << "tarnlet: result " << code << ": " << MeaningOf(code) << "\n";
  if (code == -30 || code == -32) {
    Verdict verdict = JudgeSettings(settings);
    for (const std::string& reason : verdict.reasons) err << "  - " << reason << "\n";
  }
  if (log == nullptr) {
    err << "(the settings name no log file, so the library's reason is not shown; "
           "set Log in the [FILE] section)\n";
    return;
  }
  std::vector<std::string> lines = log->NewLines();
  if (lines.empty()) {
    err << "(the call wrote no log line)\n";
    return;
  }
  err << "log lines of this call";
  if (!log->temporary()) err << " (" << log->path() << ")";
  err << ":\n";
  for (const std::string& line : lines) err << "  " << line << "\n";
}

// The call still runs, as Tarnlet2 would, and sends such texts garbled.
void WarnNotShiftJis(const MailSettings& settings, const std::string* body, std::ostream& err) {
  for (const std::string& problem : ShiftJisProblems(settings, body)) {
    err << "tarnlet: warning: " << problem << "\n";
  }
}

WatchOptions WatchFor(const SendRequest& request, const Console& console,
                      const MailSettings& settings, const std::string& body) {
  WatchOptions watch;
  watch.trace = !request.trace.empty();
  watch.fullContent = request.trace == "full";
  watch.progress = console.errorIsTerminal && !request.quiet;
  watch.columns = console.columns;
  watch.popFirst = settings.Kind == 2;
  std::size_t attachments = 0;
  std::uint64_t bytes =
      AttachmentBytes(TextOf(settings, FieldOf(Field::kAppendFile)), &attachments);
  watch.expectedContentBytes = EstimateContentBytes(body.size(), bytes, attachments);
  return watch;
}

// Calls the export as a host does, in this process, with the platform
// watched.
int CallAndFinish(const std::function<std::int32_t()>& call, const SendRequest& request,
                  const Console& console, const MailSettings& settings, const std::string& body,
                  const LogWatch* log, std::ostream& out, std::ostream& err) {
  TracePlatform platform(WatchFor(request, console, settings, body), err);
  std::int32_t code = platform.Run(call);
  if (code == 0) {
    out << "sent: the server accepted the message\n";
    return 0;
  }
  ReportFailure(code, settings, log, err);
  ReportLastExchange(platform.dialogue(), err);
  HintLogin(platform.dialogue(), settings, !request.ini.empty(), err);
  return code < 0 ? static_cast<int>(-code) : 1;
}

int SendWithIni(const SendRequest& request, const std::string& body, const std::string& encoding,
                const Console& console, std::ostream& out, std::ostream& err) {
  // The library's INI reader may look for a bare file name elsewhere than in
  // the working directory.
  std::string iniPath = AbsolutePath(LibraryPathOf(request.ini, "--ini"));
  if (!std::ifstream(iniPath)) {
    err << "tarnlet: note: \"" << ForTerminal(request.ini, MessageEncoding())
        << "\" cannot be read; every setting is empty\n";
  }
  MailSettings settings = LoadAsLibraryDoes(iniPath);
  // The file's texts are its bytes; the body was converted unless taken as is.
  WarnNotShiftJis(settings, IsShiftJisName(encoding) ? &body : nullptr, err);
  std::string logPath = TextOf(settings, FieldOf(Field::kLog));
  std::unique_ptr<LogWatch> log;
  if (!logPath.empty()) log.reset(new LogWatch(logPath));
  auto call = [&] { return Tarnlet2(body.c_str(), iniPath.c_str()); };
  return CallAndFinish(call, request, console, settings, body, log.get(), out, err);
}

int SendWithOptions(const SendRequest& request, const std::string& body,
                    const std::string& encoding, const Console& console, std::ostream& out,
                    std::ostream& err) {
  SendOptions options = request.options;
  options.password = ReadPassword(request);
  AttachmentStage stage;
  MailSettings settings = BuildRecord(options, ArgumentEncoding(encoding), &stage);
  // Texts taken as Shift-JIS pass unconverted and unchecked until here.
  if (IsShiftJisName(encoding)) WarnNotShiftJis(settings, &body, err);
  for (const std::string& warning : stage.warnings()) {
    err << "tarnlet: note: " << ForTerminal(warning, MessageEncoding()) << "\n";
  }
  LogWatch log(request.log.empty() ? std::string()
                                   : LibraryPathOf(request.log, FieldOf(Field::kLog).option));
  PutText(&settings, Field::kLog, log.path(), FieldOf(Field::kLog).option);
  auto call = [&] { return Tarnlet1(body.c_str(), &settings); };
  return CallAndFinish(call, request, console, settings, body, &log, out, err);
}

}  // namespace

int RunSend(const SendRequest& request, std::istream& in, std::ostream& out, std::ostream& err,
            const Console& console) {
  std::string encoding = request.encoding.empty() ? DefaultTextEncoding() : request.encoding;
  if (!IsShiftJisName(encoding) && !IsKnownEncoding(encoding)) {
    throw ToolError(kExitUsage, "--encoding: \"" + encoding + "\" is not known to this system");
  }
  std::string body = ReadBody(request, in, console.inputIsTerminal, encoding);
  if (!request.ini.empty()) return SendWithIni(request, body, encoding, console, out, err);
  return SendWithOptions(request, body, encoding, console, out, err);
}

}  // namespace tool
}  // namespace tarnlet
