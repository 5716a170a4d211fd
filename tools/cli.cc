// The command line of tarnlet: subcommands send, check, probe and codes, and
// --version.
#include <CLI/CLI.hpp>

#include <algorithm>

#include "commands.h"
#include "man_page.h"
#include "record_fields.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

const char kDescription[] =
    "Sends one mail message through the Tarnlet library, or shows what the library would "
    "make of a settings file.";

// What a user needs before the first send through a provider; --help and
// the manual page show it after send's options.
const char kSendFooter[] =
    "Ports and TLS: 465 speaks TLS from the connect. 587 is the submission port:\n"
    "with --auth login the command starts TLS there (STARTTLS) when the server\n"
    "offers it, then logs in with CRAM-MD5, else PLAIN or LOGIN inside TLS.\n"
    "--pop-port 995 speaks TLS from the connect too. The server's certificate is\n"
    "always verified: its chain against the system's trusted roots, its name\n"
    "against --server (give the name the certificate carries, not an address).\n"
    "To trust a private CA: docs/hosts.md, \"Trusting a private CA\".\n"
    "With an OAuth profile for the server and --user (tarnlet oauth), --auth login\n"
    "logs in with its token instead of a password: docs/providers.md.";

struct Parsed {
  SendRequest send;
  ProbeRequest probe;
  OauthRequest oauth;
  std::string checkIni;
  std::string checkBody;
};

// An option that fills field; its name and help text are the field's.
template <typename T>
CLI::Option* FieldOption(CLI::App* send, Field field, T* value) {
  return send->add_option(FieldOf(field).option, *value, FieldOf(field).help);
}

// A repeated option adds to the list and never takes the next word as well.
template <typename T>
CLI::Option* FieldOption(CLI::App* send, Field field, std::vector<T>* values) {
  return send->add_option(FieldOf(field).option, *values, FieldOf(field).help)
      ->allow_extra_args(false);
}

CLI::Option* FieldOption(CLI::App* send, Field field, bool* value) {
  return send->add_flag(FieldOf(field).option, *value, FieldOf(field).help);
}

// The options that fill the record field by field, in the order --help lists
// them; --ini takes their place.
std::vector<CLI::Option*> AddFieldOptions(CLI::App* send, SendRequest* r) {
  SendOptions* o = &r->options;
  auto port = [](CLI::Option* option) {
    return option->check(CLI::Range(1, 65535))->capture_default_str();
  };
  std::vector<std::string> authWords;
  for (const AuthChoice& choice : kAuthChoices) authWords.push_back(choice.word);
  return {
      FieldOption(send, Field::kSMTPServerAddress, &o->server),
      port(FieldOption(send, Field::kSMTPPortNo, &o->port)),
      FieldOption(send, Field::kMyMailAddress, &o->from),
      FieldOption(send, Field::kMyMailAddressComt, &o->fromName),
      FieldOption(send, Field::kAddress, &o->to),
      FieldOption(send, Field::kCc, &o->cc),
      FieldOption(send, Field::kBcc, &o->bcc),
      FieldOption(send, Field::ksReply_To, &o->replyTo),
      FieldOption(send, Field::kSubject, &o->subject),
      FieldOption(send, Field::kAppendFile, &o->attach),
      FieldOption(send, Field::kKind, &o->auth)
          ->check(CLI::IsMember(authWords))
          ->capture_default_str(),
      FieldOption(send, Field::kUserName, &o->user),
      FieldOption(send, Field::kPOP3ServerAddress, &o->popServer),
      port(FieldOption(send, Field::kPOP3PortNo, &o->popPort)),
      FieldOption(send, Field::kAPOP, &o->apop),
      FieldOption(send, Field::kMyHostFQDNName, &o->hostName)->capture_default_str(),
      FieldOption(send, Field::kX_MailerName, &o->xMailer),
      FieldOption(send, Field::kBoundary, &o->boundary),
      FieldOption(send, Field::kPassword, &r->passwordFile),
      FieldOption(send, Field::kLog, &r->log),
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
  for (CLI::Option* field : AddFieldOptions(send, &r)) ini->excludes(field);
  send->footer(kSendFooter);
}

void AddCheck(CLI::App& app, Parsed* parsed) {
  CLI::App* check = app.add_subcommand("check",
                                       "show the settings of an INI file as the library "
                                       "loads them, and whether they pass its checks");
  check->add_option("--ini", parsed->checkIni, "the INI file")->required();
  check->add_option("--body", parsed->checkBody,
                    "a file with the text to send; checked to be Shift-JIS");
}

void AddProbe(CLI::App& app, Parsed* parsed) {
  CLI::App* probe = app.add_subcommand(
      "probe",
      "connect as a send would (TLS on 465 and 995, STARTTLS on 587), show what the server "
      "offers and its certificate, and say whether --auth login could log in; no login, no "
      "message");
  ProbeRequest& r = parsed->probe;
  probe->add_option("--server", r.server, "the server's name, as the certificate carries it")
      ->required();
  probe->add_option("--port", r.port, "25, 465, 587, or 995 and 110 for POP3")
      ->check(CLI::Range(1, 65535))
      ->capture_default_str();
  probe->add_option("--host-name", r.hostName, "the name EHLO gives")->capture_default_str();
}

// The options one oauth verb takes.
void AddOauthVerb(CLI::App* oauth, OauthRequest* r, const char* verb, const char* help) {
  CLI::App* sub = oauth->add_subcommand(verb, help);
  sub->parse_complete_callback([r, verb] { r->verb = verb; });
  const std::string name = verb;
  if (name == "list") return;
  sub->add_option("name", r->name, "the profile (its section in the file)")->required();
  if (name == "test") {
    sub->add_option("--port", r->port, "the server's port: 587 (STARTTLS) or 465")
        ->check(CLI::IsMember({465, 587}))
        ->capture_default_str();
    sub->add_flag("--trace", r->trace, "show the SMTP dialogue, the token masked");
    return;
  }
  sub->add_option("--file", r->file,
                  "the profile file to write (default: TARNLET_OAUTH_FILE, else the user's "
                  "own oauth.ini)");
  if (name == "remove") return;
  sub->add_option("--server", r->server, "the SMTP server, as the host's settings name it");
  sub->add_option("--user", r->user, "the user name, as the host's settings give it");
  sub->add_option("--provider", r->provider, "microsoft365 or google: fills in the rest")
      ->check(CLI::IsMember({"microsoft365", "google"}));
  sub->add_option("--tenant", r->tenant, "the Microsoft 365 tenant (ID or domain)");
  sub->add_option("--token-url", r->tokenUrl, "the token endpoint (https://)");
  sub->add_option("--client-id", r->clientId, "the application's client ID")->required();
  sub->add_option("--client-secret-file", r->secretFile,
                  "file holding the client secret; - reads standard input");
  sub->add_option("--scope", r->scope, "the scope to ask for (default: the provider's)");
  if (name == "login") {
    sub->add_option("--device-url", r->deviceUrl, "a device authorization endpoint");
    sub->add_option("--authorize-url", r->authorizeUrl,
                    "an authorization endpoint for a browser sign-in");
  }
}

void AddOauth(CLI::App& app, Parsed* parsed) {
  CLI::App* oauth = app.add_subcommand(
      "oauth", "OAuth 2.0 profiles: log in to Microsoft 365 or Google without a password");
  oauth->require_subcommand(1);
  OauthRequest* r = &parsed->oauth;
  AddOauthVerb(oauth, r, "add", "add a profile for an application (client credentials)");
  AddOauthVerb(oauth, r, "login", "sign in as a user once and keep the refresh token");
  AddOauthVerb(oauth, r, "list", "show the profiles a call finds, and any file it refuses");
  AddOauthVerb(oauth, r, "test", "get a token and log in to the server with it; no message");
  AddOauthVerb(oauth, r, "remove", "remove a profile and its cached token");
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
  AddProbe(app, &parsed);
  AddOauth(app, &parsed);
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
    if (app.got_subcommand("probe")) return RunProbe(parsed.probe, out, err);
    if (app.got_subcommand("oauth")) return RunOauth(parsed.oauth, in, out, err, console);
    if (app.got_subcommand("check")) {
      return RunCheck(parsed.checkIni, parsed.checkBody, out, err);
    }
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
