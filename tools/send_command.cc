// tarnlet send: builds or names the settings, calls the library once, and
// shows why a failed call failed.
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "attachment_stage.h"
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

namespace tarnlet {
namespace tool {
namespace {

std::string ReadWholeFile(const std::string& typed, const std::string& option) {
  std::ifstream file(LibraryPathOf(typed, option), std::ios::binary);
  if (!file) throw ToolError(kExitNoInput, option + " \"" + typed + "\": cannot be read");
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string ReadBody(const SendRequest& request, std::istream& in, const std::string& encoding) {
  if (request.body.empty()) return "";
  std::string text;
  std::string where;
  if (request.body == "-") {
    SetStdinBinary();
    text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    where = "the body (standard input)";
  } else {
    text = ReadWholeFile(request.body, "--body");
    where = "the body (" + request.body + ")";
  }
  return ToShiftJis(text, encoding, where);
}

// A password is never typed on the command line, where other users of the
// machine can read it. One line end at the end of the file is not part of it.
std::string ReadPassword(const SendRequest& request) {
  std::string password;
  if (!request.passwordFile.empty()) {
    password = ReadWholeFile(request.passwordFile, FieldOf(Field::kPassword).option);
    if (!password.empty() && password.back() == '\n') password.pop_back();
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else if (!ReadEnvironment("TARNLET_PASSWORD", &password) && request.options.auth != "none") {
    throw ToolError(kExitUsage, "--auth " + request.options.auth +
                                    " needs a password: --password-file FILE or the "
                                    "TARNLET_PASSWORD environment variable");
  }
  return password;
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

int Finish(std::int32_t code, const MailSettings& settings, const LogWatch* log, std::ostream& out,
           std::ostream& err) {
  if (code == 0) {
    out << "sent: the server accepted the message\n";
    return 0;
  }
  ReportFailure(code, settings, log, err);
  return code < 0 ? static_cast<int>(-code) : 1;
}

int SendWithIni(const SendRequest& request, const std::string& body, std::ostream& out,
                std::ostream& err) {
  // The library's INI reader may look for a bare file name elsewhere than in
  // the working directory.
  std::string iniPath = AbsolutePath(LibraryPathOf(request.ini, "--ini"));
  if (!std::ifstream(iniPath)) {
    err << "tarnlet: note: \"" << ForTerminal(request.ini, MessageEncoding())
        << "\" cannot be read; every setting is empty\n";
  }
  MailSettings settings = LoadAsLibraryDoes(iniPath);
  std::string logPath = TextOf(settings, FieldOf(Field::kLog));
  std::unique_ptr<LogWatch> log;
  if (!logPath.empty()) log.reset(new LogWatch(logPath));
  std::int32_t code = Tarnlet2(body.c_str(), iniPath.c_str());
  return Finish(code, settings, log.get(), out, err);
}

int SendWithOptions(const SendRequest& request, const std::string& body,
                    const std::string& argumentEncoding, std::ostream& out, std::ostream& err) {
  SendOptions options = request.options;
  options.password = ReadPassword(request);
  AttachmentStage stage;
  MailSettings settings = BuildRecord(options, argumentEncoding, &stage);
  for (const std::string& warning : stage.warnings()) {
    err << "tarnlet: note: " << ForTerminal(warning, MessageEncoding()) << "\n";
  }
  LogWatch log(request.log.empty() ? std::string()
                                   : LibraryPathOf(request.log, FieldOf(Field::kLog).option));
  PutText(&settings, Field::kLog, log.path(), FieldOf(Field::kLog).option);
  std::int32_t code = Tarnlet1(body.c_str(), &settings);
  return Finish(code, settings, &log, out, err);
}

}  // namespace

int RunSend(const SendRequest& request, std::istream& in, std::ostream& out, std::ostream& err) {
  std::string encoding = request.encoding.empty() ? DefaultTextEncoding() : request.encoding;
  if (!IsShiftJisName(encoding) && !IsKnownEncoding(encoding)) {
    throw ToolError(kExitUsage, "--encoding: \"" + encoding + "\" is not known to this system");
  }
  std::string body = ReadBody(request, in, encoding);
  if (!request.ini.empty()) return SendWithIni(request, body, out, err);
  return SendWithOptions(request, body, ArgumentEncoding(encoding), out, err);
}

}  // namespace tool
}  // namespace tarnlet
