// The subcommands of tarnlet. Each returns the process's exit status and
// writes only to the streams it is given.
#ifndef TARNLET_TOOLS_COMMANDS_H_
#define TARNLET_TOOLS_COMMANDS_H_

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "record_builder.h"

namespace tarnlet {
namespace tool {

struct SendRequest {
  std::string ini;           // as typed; non-empty: the settings come from this INI file
  SendOptions options;       // without --ini
  std::string passwordFile;  // as typed; empty: the TARNLET_PASSWORD variable
  std::string body;          // as typed: a file, "-" for standard input, "" for none
  bool emptyBody = false;    // --empty-body
  std::string trace;         // "", "summary" or "full"
  bool quiet = false;        // no status line
  std::string encoding;      // of the texts; empty: the system's default
  std::string log;           // as typed; empty: a temporary log file
};

// tarnlet oauth VERB: the profiles that let a call log in with OAuth.
struct OauthRequest {
  std::string verb;  // add, login, list, test, remove
  std::string name;  // the profile: its section
  std::string file;  // --file: the profile file add, login and remove write
  std::string server;
  std::string user;
  std::string provider;  // microsoft365, google, or "" for the URLs given
  std::string tenant;
  std::string tokenUrl;
  std::string deviceUrl;     // --device-url: the device flow (login)
  std::string authorizeUrl;  // --authorize-url: the browser sign-in (login)
  std::string clientId;
  std::string secretFile;  // --client-secret-file FILE, "-" for standard input
  std::string scope;
  int port = 587;      // oauth test
  bool trace = false;  // oauth test
};

// What the process's standard streams are connected to.
struct Console {
  bool inputIsTerminal = false;
  bool errorIsTerminal = false;
  std::size_t columns = 80;  // of the terminal err shows on
};

// The terminals of this process.
Console ProcessConsole();

// Sends one message as Tarnlet1 (options) or Tarnlet2 (ini) does, running
// the library's code in this process so the dialogue can be watched. Exit
// 0 when it was accepted; else the result code's absolute value, with its
// meaning, the log lines of the call and the server's last reply on err.
int RunSend(const SendRequest& request, std::istream& in, std::ostream& out, std::ostream& err,
            const Console& console);

// Loads an INI file as Tarnlet2 does, prints every field and whether the
// call's checks pass, names each text (and the body file, when body is not
// empty) that is not Shift-JIS, and opens each attachment as the call
// will. Exit 0 when all pass, else 32, 30 or 11 as the call returns, or 65
// for texts that are not Shift-JIS.
int RunCheck(const std::string& ini, const std::string& body, std::ostream& out, std::ostream& err);

struct ProbeRequest {
  std::string server;
  std::uint16_t port = 25;
  std::string hostName = "localhost";  // the EHLO name
};

// Connects to the server as a call would, shows the dialogue, the TLS
// session and the certificate, and says whether a send with --auth login
// could log in; then QUIT, with no login and no message. Exit 0 when it
// could, else the code the call would return (its absolute value).
int RunProbe(const ProbeRequest& request, std::ostream& out, std::ostream& err);

// Runs one oauth verb. Exit 0, the result code's absolute value when the
// login of "test" failed, or the command's own statuses.
int RunOauth(const OauthRequest& request, std::istream& in, std::ostream& out, std::ostream& err,
             const Console& console);

// Whether an OAuth profile names server and user (a call then needs no
// password); false when none is found or the files cannot be read.
bool HasOauthProfile(const std::string& server, const std::string& user);

// Prints the table of result codes. Exit 0.
int RunCodes(std::ostream& out);

// What --version prints: the command's version and build, and those of the
// library code built into it.
std::string VersionReport();

// Parses the command line (the arguments after the program name) and runs
// the subcommand.
int RunTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
            std::ostream& err, const Console& console = Console());

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_COMMANDS_H_
