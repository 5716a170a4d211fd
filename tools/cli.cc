// The command line of tarnlet: subcommands send, check and codes, and --version.
#include <CLI/CLI.hpp>

#include <algorithm>

#include "commands.h"
#include "man_page.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

const char kDescription[] =
    "Sends one mail message through the Tarnlet library, or shows what the library would "
    "make of a settings file.";

struct Parsed {
  SendRequest send;
  std::string checkIni;
};

// The options that fill the record field by field; --ini takes their place.
std::vector<CLI::Option*> AddFieldOptions(CLI::App* send, SendOptions* o) {
  auto one = [](CLI::Option* option) { return option->allow_extra_args(false); };
  return {
      send->add_option("--server", o->server, "SMTP server: host name or dotted IPv4 address"),
      send->add_option("--port", o->port, "SMTP port (587: the submission path)")
          ->check(CLI::Range(1, 65535))
          ->capture_default_str(),
      send->add_option("--from", o->from, "sender address (MAIL FROM and From)"),
      send->add_option("--from-name", o->fromName, "sender display name in the From header"),
      one(send->add_option("--to", o->to, "To address; repeat, or separate with ';'")),
      one(send->add_option("--cc", o->cc, "Cc address; repeat, or separate with ';'")),
      one(send->add_option("--bcc", o->bcc,
                           "Bcc address (RCPT only); repeat, or separate with ';'")),
      send->add_option("--reply-to", o->replyTo, "Reply-To address"),
      send->add_option("--subject", o->subject, "Subject text"),
      one(send->add_option("--attach", o->attach, "file to attach; repeat for several")),
      send->add_option("--auth", o->auth,
                       "authentication: none, cram-md5 (SMTP AUTH) or pop "
                       "(POP before SMTP)")
          ->check(CLI::IsMember({"none", "cram-md5", "pop"}))
          ->capture_default_str(),
      send->add_option("--user", o->user, "login name for SMTP AUTH or POP3"),
      send->add_option("--pop-server", o->popServer, "POP3 server (default: the SMTP server)"),
      send->add_option("--pop-port", o->popPort, "POP3 port")
          ->check(CLI::Range(1, 65535))
          ->capture_default_str(),
      send->add_flag("--apop", o->apop, "POP3 login with APOP instead of USER/PASS"),
      send->add_option("--host-name", o->hostName, "own host name for HELO/EHLO and Message-Id")
          ->capture_default_str(),
      send->add_option("--x-mailer", o->xMailer, "text of the X-Mailer header (none when empty)"),
      send->add_option("--boundary", o->boundary, "word inside the MIME boundary"),
  };
}

void AddSend(CLI::App& app, Parsed* parsed) {
  CLI::App* send =
      app.add_subcommand("send", "send one message (Tarnlet1, or Tarnlet2 with --ini)");
  SendRequest& r = parsed->send;
  CLI::Option* ini = send->add_option("--ini", r.ini,
                                      "take every setting from this INI file, "
                                      "as Tarnlet2 does");
  CLI::Option* body = send->add_option("--body", r.body,
                                       "file holding the message text; - reads standard input, "
                                       "as does no --body when input is piped in");
  send->add_flag("--empty-body", r.emptyBody, "send a message without text")->excludes(body);
  send->add_flag("--trace{summary}", r.trace,
                 "show the SMTP and POP3 dialogue on standard error, secrets masked; "
                 "--trace=full shows the message content too")
      ->check(CLI::IsMember({"summary", "full"}));
  send->add_flag("--quiet", r.quiet, "no status line on the terminal while the call runs");
  send->add_option("--encoding", r.encoding,
                   "encoding of the texts (default: the system's); "
                   "sjis passes Shift-JIS bytes through");
  std::vector<CLI::Option*> fields = AddFieldOptions(send, &r.options);
  fields.push_back(send->add_option("--password-file", r.passwordFile,
                                    "file holding the password (else $TARNLET_PASSWORD)"));
  fields.push_back(send->add_option("--log", r.log,
                                    "append the library's log lines to this "
                                    "file (default: a temporary one)"));
  for (CLI::Option* field : fields) ini->excludes(field);
}

void AddCheck(CLI::App& app, Parsed* parsed) {
  CLI::App* check = app.add_subcommand("check",
                                       "show the settings of an INI file as the library "
                                       "loads them, and whether they pass its checks");
  check->add_option("--ini", parsed->checkIni, "the INI file")->required();
}

}  // namespace

Console ProcessConsole() {
  Console console;
  console.inputIsTerminal = IsTerminal(StandardStream::kInput);
  console.errorIsTerminal = IsTerminal(StandardStream::kError);
  if (console.errorIsTerminal) console.columns = TerminalColumns();
  return console;
}

int RunTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
            std::ostream& err, const Console& console) {
  CLI::App app(kDescription, "tarnlet");
  app.require_subcommand(1);
  app.set_version_flag("--version", [] {
    std::string report = VersionReport();
    return report.substr(0, report.size() - 1);  // CLI11 ends it with a line end
  });
  Parsed parsed;
  AddSend(app, &parsed);
  AddCheck(app, &parsed);
  app.add_subcommand("codes", "list the library's result codes and their meanings");
  // The build writes the manual page with this; it is no option for users.
  app.add_flag_callback("--man-page",
                        [&app, &out] {
                          WriteManPage(app, out);
                          throw CLI::Success();
                        })
      ->group("");
  try {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e, out, err);
    return status == 0 ? 0 : kExitUsage;
  }
  try {
    if (app.got_subcommand("codes")) return RunCodes(out);
    if (app.got_subcommand("check")) return RunCheck(parsed.checkIni, out, err);
    const SendRequest& send = parsed.send;
    if (send.ini.empty() && (send.options.server.empty() || send.options.from.empty())) {
      throw ToolError(kExitUsage, "send needs --server and --from (or --ini FILE)");
    }
    return RunSend(send, in, out, err, console);
  } catch (const ToolError& e) {
    err << "tarnlet: " << ForTerminal(e.what(), MessageEncoding()) << "\n";
    return e.exitStatus();
  }
}

}  // namespace tool
}  // namespace tarnlet
