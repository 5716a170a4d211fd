#include "man_page.h"

#include <CLI/CLI.hpp>

#include <string>

#include "tarnlet_version.h"

namespace tarnlet {
namespace tool {
namespace {

// Text for roff: backslashes and hyphens escaped, no line that starts
// with a control character.
std::string Roff(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\') {
      escaped += "\\e";
    } else if (c == '-') {
      escaped += "\\-";
    } else {
      escaped += c;
    }
  }
  if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'')) escaped.insert(0, "\\&");
  return escaped;
}

// "INT:INT in [1 - 65535]" -> "INT"; "TEXT:{none,pop}" -> "{none,pop}".
std::string ValueName(const CLI::Option& option) {
  std::string type = option.get_type_name();
  std::size_t colon = type.find(':');
  if (colon == std::string::npos) return type;
  std::string after = type.substr(colon + 1);
  return after.compare(0, 1, "{") == 0 ? after : type.substr(0, colon);
}

// "-h, --help": the names as typed, without a flag's default value.
std::string Names(const CLI::Option& option) {
  std::string names;
  for (const std::string& name : option.get_snames()) names += (names.empty() ? "-" : ", -") + name;
  for (const std::string& name : option.get_lnames()) {
    names += (names.empty() ? "--" : ", --") + name;
  }
  return names;
}

bool Shown(const CLI::Option& option) { return !option.get_group().empty(); }

void WriteOption(const CLI::Option& option, std::ostream& out) {
  out << ".TP\n\\fB" << Roff(Names(option)) << "\\fR";
  std::string value = ValueName(option);
  if (option.get_expected_max() > 0 && !value.empty()) {
    out << " \\fI" << Roff(value) << "\\fR";
  } else if (!value.empty()) {
    out << "[=\\fI" << Roff(value) << "\\fR]";
  }
  out << "\n" << Roff(option.get_description());
  if (option.get_required()) out << " (required)";
  std::string fallback = option.get_default_str();
  if (!fallback.empty() && option.get_expected_max() > 0) {
    out << " (default: " << Roff(fallback) << ")";
  }
  out << ".\n";
}

// A command and, after it, each of its own (tarnlet oauth add ...).
void WriteSubcommand(const CLI::App& command, const std::string& prefix, std::ostream& out) {
  const std::string name = prefix + " " + command.get_name();
  out << ".SS \"" << Roff(name) << "\"\n" << Roff(command.get_description()) << ".\n";
  for (const CLI::Option* option : command.get_options()) {
    if (Shown(*option) && option->get_name() != "--help") WriteOption(*option, out);
  }
  // The text --help shows after the options, line by line.
  std::string footer = command.get_footer();
  if (!footer.empty()) out << ".PP\n";
  for (std::size_t start = 0; start < footer.size();) {
    std::size_t end = footer.find('\n', start);
    if (end == std::string::npos) end = footer.size();
    out << Roff(footer.substr(start, end - start)) << "\n";
    start = end + 1;
  }
  for (const CLI::App* sub : command.get_subcommands({})) WriteSubcommand(*sub, name, out);
}

const char kExitStatus[] =
    ".SH \"EXIT STATUS\"\n"
    "0 when the server accepted the message (send), the checks pass (check), or a\n"
    "send with \\fB\\-\\-auth login\\fR could log in (probe).\n"
    "A failed call exits with the absolute value of its result code (\\-2 exits 2;\n"
    "\\fBtarnlet codes\\fR lists them).\n"
    "64: the command line is wrong; 65: a text or value cannot go into the settings;\n"
    "66: an input file cannot be read; 71: the system refused a temporary file.\n";

const char kDetails[] =
    ".SH \"MESSAGE TEXT\"\n"
    "With no \\fB\\-\\-body\\fR, \\fBsend\\fR reads the text from standard input when\n"
    "something is piped or redirected into it; on a terminal it refuses instead of\n"
    "sending an empty message.\n"
    "\\fB\\-\\-empty\\-body\\fR sends a message without text.\n"
    ".SH \"WHAT IS SHOWN\"\n"
    "On a failure \\fBsend\\fR prints the result code, its meaning, the log lines of\n"
    "the call and the server's last reply with the command it answered.\n"
    "While a call runs and standard error is a terminal, one status line shows the\n"
    "step, and during the message the bytes sent and the rate; \\fB\\-\\-quiet\\fR\n"
    "turns it off.\n"
    "\\fB\\-\\-trace\\fR prints each client line (C:) and server line (S:) as it goes\n"
    "over the wire; passwords, AUTH responses and APOP digests are not shown, and the\n"
    "message content is one line giving its size unless \\fB\\-\\-trace=full\\fR.\n"
    ".SH ENVIRONMENT\n"
    ".TP\n"
    ".B TARNLET_PASSWORD\n"
    "The password for \\fB\\-\\-auth login\\fR (or \\fBcram\\-md5\\fR) and \\fB\\-\\-auth pop\\fR\n"
    "when no \\fB\\-\\-password\\-file\\fR is given. Passwords are never taken from the\n"
    "command line. With \\fB\\-\\-auth login\\fR and an OAuth profile for the server and\n"
    "user none is needed.\n"
    ".TP\n"
    ".B TARNLET_OAUTH_FILE\n"
    "The OAuth profile file a call searches, instead of the user's and the machine's\n"
    "oauth.ini; \\fBoauth add\\fR, \\fBlogin\\fR and \\fBremove\\fR write it.\n"
    ".SH EXAMPLES\n"
    ".nf\n"
    "tarnlet send \\-\\-server smtp.example.jp \\-\\-from me@example.jp \\e\n"
    "    \\-\\-to you@example.jp \\-\\-subject Report \\-\\-body mail.txt\n"
    "tarnlet send \\-\\-server smtp.example.com \\-\\-port 587 \\-\\-auth login \\e\n"
    "    \\-\\-user me@example.com \\-\\-password\\-file ~/.smtp\\-password \\e\n"
    "    \\-\\-from me@example.com \\-\\-to you@example.org \\-\\-body mail.txt\n"
    "printf 'Hello\\en' | tarnlet send \\-\\-server 127.0.0.1 \\-\\-from me@example.jp \\e\n"
    "    \\-\\-to you@example.jp \\-\\-trace\n"
    "tarnlet check \\-\\-ini mail.ini\n"
    "tarnlet oauth test office \\-\\-trace\n"
    ".fi\n";

}  // namespace

void WriteManPage(const CLI::App& app, std::ostream& out) {
  out << ".TH TARNLET 1 \"\" \"tarnlet " TARNLET_COMMAND_VERSION
         "\" \"User Commands\"\n.nh\n.ad l\n"
      << ".SH NAME\ntarnlet \\- send one mail message through the Tarnlet library\n"
      << ".SH SYNOPSIS\n";
  bool first = true;
  for (const CLI::App* command : app.get_subcommands({})) {
    if (!first) out << ".br\n";
    first = false;
    out << ".B tarnlet " << Roff(command->get_name()) << "\n.RI [ options ]\n";
  }
  out << ".br\n.B tarnlet \\-\\-version\n"
      << ".SH DESCRIPTION\n"
      << Roff(app.get_description()) << "\n"
      << ".SH COMMANDS\n";
  for (const CLI::App* command : app.get_subcommands({})) {
    WriteSubcommand(*command, "tarnlet", out);
  }
  out << ".SH OPTIONS\n";
  for (const CLI::Option* option : app.get_options()) {
    if (Shown(*option)) WriteOption(*option, out);
  }
  out << kExitStatus << kDetails;
}

}  // namespace tool
}  // namespace tarnlet
