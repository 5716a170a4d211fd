// The subcommands of tarnlet. Each returns the process's exit status and
// writes only to the streams it is given.
#ifndef TARNLET_TOOLS_COMMANDS_H_
#define TARNLET_TOOLS_COMMANDS_H_

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
  std::string encoding;      // of the texts; empty: the system's default
  std::string log;           // as typed; empty: a temporary log file
};

// Sends one message through Tarnlet1 (options) or Tarnlet2 (ini). Exit 0
// when it was accepted; else the result code's absolute value, with its
// meaning and the log lines of the call on err.
int RunSend(const SendRequest& request, std::istream& in, std::ostream& out, std::ostream& err);

// Loads an INI file as Tarnlet2 does, prints every field and whether the
// call's checks pass. Exit 0 when they pass, else 32 or 30.
int RunCheck(const std::string& ini, std::ostream& out, std::ostream& err);

// Prints the table of result codes. Exit 0.
int RunCodes(std::ostream& out);

// What --version prints: the command's version and build, the version and
// file of the library it loaded.
std::string VersionReport();

// Parses the command line (the arguments after the program name) and runs
// the subcommand.
int RunTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
            std::ostream& err);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_COMMANDS_H_
