#include "body_source.h"

#include <fstream>
#include <iterator>

#include "record_builder.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {

std::string ReadWholeFile(const std::string& typed, const std::string& option) {
  std::ifstream file(LibraryPathOf(typed, option), std::ios::binary);
  if (!file) throw ToolError(kExitNoInput, option + " \"" + typed + "\": cannot be read");
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string ReadBody(const SendRequest& request, std::istream& in, bool inputIsTerminal,
                     const std::string& encoding) {
  if (request.emptyBody) return "";
  std::string text;
  std::string where;
  if (request.body.empty() && inputIsTerminal) {
    throw ToolError(kExitUsage,
                    "no message text: give --body FILE, pipe the text in, or --empty-body "
                    "to send a message without text");
  }
  if (request.body.empty() || request.body == "-") {
    SetStdinBinary();
    text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    where = "the body (standard input)";
  } else {
    text = ReadWholeFile(request.body, "--body");
    where = "the body (" + request.body + ")";
  }
  return ToShiftJis(text, encoding, where);
}

}  // namespace tool
}  // namespace tarnlet
