// Where the text of the message comes from: --body FILE, --body - or, with
// no --body, standard input when something is piped into it; --empty-body
// for a message without text.
#ifndef TARNLET_TOOLS_BODY_SOURCE_H_
#define TARNLET_TOOLS_BODY_SOURCE_H_

#include <istream>
#include <string>

#include "commands.h"

namespace tarnlet {
namespace tool {

// The body as Shift-JIS. Throws ToolError: kExitUsage when no body is
// named and standard input is a terminal (the user would otherwise send
// an empty message, or wait on a prompt nobody asked for), kExitNoInput
// for a file that cannot be read, kExitData for text Shift-JIS cannot hold.
std::string ReadBody(const SendRequest& request, std::istream& in, bool inputIsTerminal,
                     const std::string& encoding);

// The whole of a file named by a path typed as option's value. Throws
// ToolError(kExitNoInput) when it cannot be read.
std::string ReadWholeFile(const std::string& typed, const std::string& option);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_BODY_SOURCE_H_
